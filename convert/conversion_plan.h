// The plan of a conversion: what it will use, hold, run and refuse, decided
// in one place. The conversion follows it step by step, kwtconv --check
// reports it without changing a byte, and -j keeps projects whose plans share
// a folder apart. A rule about what a conversion refuses, which paths it
// derives or which folders it holds is written here and nowhere else.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/contents_owners.h"
#include "convert/contents_path.h"
#include "convert/conversion_result.h"
#include "convert/folder_holds.h"
#include "convert/plan.h"
#include "convert/stop_reason.h"
#include "runtime/ini_file.h"
#include "runtime/platform.h"

namespace kwt {

// How the passes read and write records (see convert/record_stream.h).
enum class RecordIo {
  // One platform read and one platform write per record.
  PerRecord,
  // Blocks of about 1 MiB per read and per write.
  Blocks,
};

struct ConversionOptions {
  // Converts this contents file in place of the one the project names (a
  // moved project); the project's stored path is left as it is.
  std::optional<std::string> contentsPath;
  // Keeps copies of both files beside them before the first pass changes
  // anything (see BackUpProject).
  bool backup = false;
  // A relative stored contents path names a file beside the project file.
  bool contentsBesideProject = false;
  // When the stored contents path names no file, the file of that name beside
  // the project file is converted (see ContentsChoice).
  bool findContents = false;
  // How the passes read and write records. Either way the texts, the files and
  // the errors are the same; blocks take far fewer system calls.
  RecordIo recordIo = RecordIo::PerRecord;
  // What the project files near a contents file name, read once for a run
  // of many projects; each plan or conversion reads its own when null.
  std::shared_ptr<ContentsOwners> owners = nullptr;

  ContentsChoice Choice() const { return {contentsPath, contentsBesideProject, findContents}; }
};

// A project file (or its backup) read as the conversion reads it: keys in
// any letter case. One that cannot be read raises ProjectUnreadable, about
// project.
TMemIniFile LoadProjectFile(const std::string& path, std::string_view project);

// "TMP.DAT" in the folder of the contents file.
std::string TemporaryPathFor(std::string_view contentsPath);

// With backups: what stops them before anything is copied (the backups' work
// names taken by another user's files).
StopReason BackupStop(const TMemIniFile& store, std::string_view contentsPath);

// A project's own stops, before its file is read: a device, pipe or socket,
// or no file at all.
StopReason ProjectStop(std::string_view project);

// The pass whose saved project text a stopped run left beside the project
// file, when the conversion will finish that run by moving the text into
// place: the text is the project file's but for a later Version, its owner is
// the project file's, and the contents file has exactly that Version's layout.
// A file that --find-contents took is named in that text too. Holds the
// contents file's folder to look. Null when nothing proves it.
const Pass* StoppedRunToFinish(TMemIniFile& store, const ChosenContents& contents, FolderHolds& holds);

// The contents file must be no other file of the project (the project file,
// the file its new text waits in, another project file) and no file under a
// work name beside it, and a contents file (*.KWT) unless given by name: what
// the work would write over or take for a leftover.
StopReason ContentsNameStop(const TMemIniFile& store, const ChosenContents& contents);

// What the pass will stop at, in the order the pass meets it, holding the
// contents file's folder on the way. None when it will convert. notes takes
// what the looks at the contents file's readers found.
StopReason PassStop(TMemIniFile& store, const Pass& pass, const ChosenContents& contents, FolderHolds& holds,
                    ContentsOwners& owners, ContentsNotes& notes);

// Whether converting (or putting back) the contents file's records would
// leave another project reading records of a layout it does not know:
// another project file reads the same records, or the project file has a
// second name that does. The one rule for the conversion, --check, the
// restore and the window.
StopReason ReadersStop(const TMemIniFile& store, const ChosenContents& contents, ContentsOwners& owners,
                       ContentsNotes& notes);

// Whose records the contents file holds, before anything changes: the
// readers' rule, and what a conversion notes (a second name of the contents
// file, which keeps the old records; a file of its name in the project's
// folder). stamp is the open contents file's.
StopReason OwnershipStop(const TMemIniFile& store, const ChosenContents& contents,
                         const platform::FileStamp& stamp, ContentsOwners& owners, ContentsNotes& notes);

// Whether a pass can keep other programs from writing the contents file
// while it converts (a lease on Linux, the share mode on Windows), asked for
// a moment without changing anything.
bool WritersCanBeKeptOut(std::string_view contentsPath);

// The contents file as a look by its path finds it, before anything changes.
struct ContentsLook {
  bool present = false;
  std::optional<std::uint64_t> size;
  // Why the size is unknown although the file is present.
  platform::ErrorCode sizeError = platform::error::kSuccess;

  // The whole records of layout the file holds; none when the size is unknown.
  std::optional<std::uint64_t> RecordsIn(const Layout& layout) const {
    if (!size) return std::nullopt;
    return *size / layout.recordSize;
  }
};
ContentsLook LookAtContents(std::string_view path);

enum class Verdict { WillConvert, UpToDate, WillFail };

// What a conversion of the project would do, found without changing a byte:
// the facts a face shows before converting, and the conversion's plan.
struct ConversionPlan {
  std::string project;
  bool projectPresent = false;
  // [KWJ] Version as the driver reads it, and its text as stored.
  std::int32_t version = 0;
  std::optional<std::string> versionText;
  const Layout* layout = nullptr;
  std::int32_t count = 0;
  // Count as stored, where it is stored.
  std::optional<std::string> countText;

  ChosenContents contents;
  std::string temporaryPath;
  bool contentsPresent = false;
  std::optional<std::uint64_t> contentsSize;
  // Why the size is unknown although the file is present.
  platform::ErrorCode sizeError = platform::error::kSuccess;
  // The records the contents file holds in the recorded layout.
  std::optional<std::uint64_t> recordsPresent;
  // The later layout the contents file already has, or 0.
  std::int32_t convertedLayout = 0;

  // A stopped run the conversion finishes first, or null.
  const Pass* stoppedRun = nullptr;
  // The passes it runs (after finishing a stopped run), in order.
  std::span<const Pass> passes;
  // The folders it holds.
  std::vector<std::string> folders;
  // Where it stops; None when it will succeed.
  StopReason stop;
  // What the conversion will say about its contents file.
  ContentsNotes notes;

  bool ConversionWouldFail() const noexcept { return static_cast<bool>(stop); }
  Verdict Outcome() const noexcept;
  // Count records of the recorded layout, in bytes; none for a negative
  // Count or an unread project.
  std::optional<std::uint64_t> ExpectedSize() const;
  // The contents path the project records, where the conversion takes another
  // file (given, found beside the project, or the stored relative path taken
  // from the project's folder).
  std::optional<std::string> RecordedContentsPath() const;
  // The Version a stopped run left to be finished first, or 0.
  std::int32_t FinishesStoppedRun() const noexcept;
  // The names of the passes it runs, in order.
  std::vector<std::string_view> PassNames() const;
};

// Plans the conversion of the project at path as Converter would run it with
// these options: what kwtconv --check reports and -j groups by. Raises the project store's EFOpenError when
// the project file exists but cannot be read.
ConversionPlan PlanConversion(std::string_view project, const ConversionOptions& options);

}  // namespace kwt
