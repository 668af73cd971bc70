// What a conversion came to: the value both faces report from, so that no
// face has to read the status line to know whether a project converted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/contents_path.h"
#include "convert/plan.h"
#include "convert/stop_reason.h"
#include "runtime/platform.h"

namespace kwt {

// The facts of the project a face shows beside the outcome, as the conversion
// found them; none where it never read them.
struct ProjectFacts {
  // The recorded Version and the layout it stands for, as the conversion left
  // them.
  std::optional<std::int32_t> version;
  std::optional<std::int32_t> layout;
  std::optional<std::int32_t> count;
  // Count as written in the project file, where it is written.
  std::optional<std::string> countText;
  // The records the contents file held in the recorded layout before the
  // conversion changed it.
  std::optional<std::uint64_t> recordsPresent;
};

// What a conversion says about its contents file beside its outcome: what
// it leaves that a user may not expect, and what it could not guard.
struct ContentsNotes {
  // The contents file has another name (a hard link), which keeps the old
  // records: the replacement moves a new file over this name only.
  bool otherNameKeepsOldRecords = false;
  // The project file has another name in another folder, which keeps its old
  // text and reads its own records there.
  bool projectOtherNameReadsItsOwn = false;
  // A file of the contents file's name in the project's folder, while the
  // project names one outside it: left as it is.
  std::string fileOfThatNameBeside;
  // Project files near the contents file that could not be read: whether
  // they read it is not known.
  std::vector<std::string> unreadableProjects;
  // False where no program could be kept from writing the contents file
  // while it converted (no lease, no share mode): only its stamps, and on
  // coarse clocks its bytes, were looked at before it was replaced.
  bool writersKeptOut = true;
};

struct ConversionResult {
  ConversionOutcome outcome = ConversionOutcome::Failed;
  // The passes that completed, in order.
  std::vector<PassId> passesRun;
  // True when a stopped run was finished from the project text it left.
  bool resumed = false;
  // The contents file the conversion worked on; empty path when none was chosen.
  ChosenContents contents;
  // The recorded Version before the conversion changed it (0 when unread).
  std::int32_t version = 0;
  // Why it ended short of success (None where it did not), as decided
  // where it was met.
  StopReason reason;
  ProjectFacts facts;
  ContentsNotes notes;
  // For Failed: the disk ran full while TMP.DAT was written, and the pass
  // removed its unfinished TMP.DAT (at temporaryPath) to free the space.
  bool temporaryRemoved = false;
  std::string temporaryPath;
  // What the files that took the old ones' places could not keep of their
  // permissions (platform::permission bits); 0 when they kept everything.
  // Never wider than before, whatever is missing.
  platform::PermissionParts permissionsNotKept = 0;

  bool Succeeded() const noexcept {
    return outcome == ConversionOutcome::Converted || outcome == ConversionOutcome::UpToDate;
  }
};

}  // namespace kwt
