// The way back from a conversion made with backups: the project file and the
// contents file put back as their backups hold them, and only when nothing
// has changed since that conversion, so that no later edit is lost.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_plan.h"
#include "convert/conversion_result.h"
#include "convert/stop_reason.h"
#include "runtime/platform.h"

namespace kwt {

// What a restore of a project would find, and where it would stop.
struct RestorePlan {
  std::string project;
  std::string projectBackup;
  std::string contents;
  std::string contentsBackup;
  // Version and Count as the backed-up project records them, and the Version
  // the project file records now.
  std::int32_t backupVersion = 0;
  std::int32_t count = 0;
  std::int32_t version = 0;
  // True for a file that already holds exactly its backup's bytes (a restore
  // that was stopped half way, or one that is complete).
  bool projectRestored = false;
  bool contentsRestored = false;
  // Why it cannot be restored (None when it can), or, in a restore's result,
  // why it failed: the file that is about, the other project file that reads
  // the same records (or the project file's other name), the error's text and
  // the I/O code where one was met.
  StopReason reason;
  // The folders a restore holds, each once, in the order first met.
  std::vector<std::string> folders;

  bool Restorable() const noexcept { return !reason; }
  bool Done() const noexcept { return projectRestored && contentsRestored; }
};

enum class RestoreOutcome {
  // Both files hold their backups now.
  Restored,
  // Both files held their backups already: nothing written.
  AlreadyRestored,
  // Not restored; nothing changed (see RestorePlan::cause).
  Refused,
  // An error ended it (see RestorePlan::reason); a restore started again
  // finishes whatever it left.
  Failed,
  // Stopped before anything was replaced; nothing changed.
  Interrupted,
};

struct RestoreResult {
  RestoreOutcome outcome = RestoreOutcome::Failed;
  RestorePlan plan;
  // The project file has been put back; for Failed, the contents file has not
  // (the next restore finishes it, unless the cause says it changed).
  bool projectPutBack = false;
  // What the put-back files could not keep of the files they replace.
  platform::PermissionParts permissionsNotKept = 0;
};

// Plans the restore of the project at path without changing a byte: for
// kwtconv --check --restore. The contents file is the one a conversion with
// these options would take.
RestorePlan PlanRestore(std::string_view project, const ConversionOptions& options);

// Puts the project at path back as its backups NAME.kwj.bak and NAME.KWT.bak
// hold it, when the project file is exactly what a conversion saved from the
// backed-up one and the contents file exactly what converting the backed-up
// records gives (or either already holds its backup). The folders are held
// throughout; each file is written anew beside the one it replaces (under the
// conversion's own work names), made durable and moved over it in one step,
// the project file first: a restore stopped between the two moves leaves a
// project file that a conversion refuses to take for converted, and the next
// restore finishes it. The backups are kept. stopRequested is asked while the
// new files are written; once a file has been replaced the restore finishes.
// Errors are taken into the result, never raised.
RestoreResult RestoreProject(std::string_view project, const ConversionOptions& options,
                             const std::function<bool()>& stopRequested = {});

}  // namespace kwt
