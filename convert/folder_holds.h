// The folders a conversion holds, and the trial of whether a folder's file
// system can move a file over another in one step: what keeps two
// conversions of the same files apart, and the work from a folder that
// cannot replace safely.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/stop_reason.h"
#include "runtime/platform.h"

namespace kwt {

// The scratch files that find out whether a folder replaces in one step.
inline constexpr std::string_view kTrialName = "TMP.TRY";
inline constexpr std::string_view kTrialTargetName = "TMP.TRY$$$";

// The folders a conversion holds, each once whatever its spelling, so that a
// second conversion of the same files (or of any project in those folders)
// stops at once. A folder is opened once, when it is held, and the conversion
// reaches every file in it through that open folder: a link in its path that
// is swapped afterwards leads nothing elsewhere. A check probes instead of
// holding: it takes each hold for a moment and lets go, changing nothing.
class FolderHolds {
 public:
  enum class Mode { Hold, Probe };
  explicit FolderHolds(Mode mode) : mode_(mode) {}
  FolderHolds(const FolderHolds&) = delete;
  FolderHolds& operator=(const FolderHolds&) = delete;

  // Holds the folder of the file at path; a stop for FolderBusy when another
  // conversion holds it, and for any other failure to hold it, each time the
  // folder is asked for. A folder whose last name is a link is held as the
  // folder the link names now.
  StopReason HoldFolderOf(std::string_view path);
  // A stop when the file system of the folder of path cannot move a file over
  // another in one step, as replacing the contents and project files needs:
  // found once per folder by doing it with two scratch files of the work names
  // "TMP.TRY" and "TMP.TRY$$$", removed again. Only an empty file at those
  // names is taken for a leftover; anything else there stops the
  // conversion (TemporaryBlocked). A folder where they cannot be made is left
  // to the steps that fail there. Holds the folder first.
  StopReason ReplaceStopIn(std::string_view path);
  // The folders held (or probed), each once, in the order first met.
  const std::vector<std::string>& Folders() const noexcept { return folders_; }
  // Opens the existing file at path as platform::Open does: through its held
  // folder when that is held (a link in the folder's path swapped since leads
  // nowhere else), else by path, as a check looks.
  platform::ErrorCode OpenFile(std::string_view path, platform::Access access,
                               platform::FileHandle& file) const;
  // The held folder of the file at path, found by the spelling of the folder
  // as HoldFolderOf was given it (never by what the path reaches now). Null
  // when that folder is not held, and always when probing. Lives as long as
  // the holds.
  const platform::HeldFolder* HeldFolderOf(std::string_view path) const;

 private:
  // A folder as it was asked for, the index of its hold in held_ (none when
  // it is only probed, or could not be held), and why it could not be held.
  struct Spelling {
    std::string folder;
    std::optional<std::size_t> held;
    StopReason stop;
    // What ReplaceStopIn found, once it has looked.
    std::optional<StopReason> replaceStop;
  };
  Mode mode_;
  std::vector<std::string> folders_;
  std::vector<Spelling> spellings_;
  // Each behind its own pointer, so that the folders handed out stay put.
  std::vector<std::unique_ptr<platform::HeldFolder>> held_;
};

// A stop where a work file's name is taken by another user's file in a shared
// folder (sticky, as /tmp): the work could neither remove it nor move over it,
// and only its owner, the folder's owner or an administrator may. None where
// nothing has the name.
StopReason LeftoverStop(std::string_view workPath);

}  // namespace kwt
