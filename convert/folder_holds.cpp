#include "convert/folder_holds.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

#include "runtime/back_off.h"
#include "runtime/file_names.h"
#include "runtime/texts.h"

namespace kwt {

namespace {

// The folder a link in the last name of folder (a directory part) names now,
// as a directory part; folder itself when that name is no link. Resolved once,
// when the folder is held: from then on the held folder is used, never the link.
std::string FolderALinkNames(const std::string& folder) {
  if (folder.empty()) return folder;
  const std::string name = folder.substr(0, folder.size() - 1);  // without its closing delimiter
  const std::string target = platform::ReplacementTarget(name);
  return target == name ? folder : target + folder.back();
}

// Holds folder; one whose last name is a link is held as the folder the link
// names now.
platform::ErrorCode HoldFolderOnce(const std::string& folder, platform::HeldFolder& held) {
  platform::ErrorCode code = platform::HoldFolder(folder, held);
  if (code == platform::error::kLinkInTheWay) {
    if (const std::string real = FolderALinkNames(folder); real != folder) {
      code = platform::HoldFolder(real, held);
    }
  }
  return code;
}

// As HoldFolderOnce, but a hold that another keeps is waited for a little
// (150 ms in all): a check holds a folder for the moment of its looks and its
// trial, and must not make a conversion that starts beside it fail. A
// conversion's hold lasts far longer, and still stops the second at once.
platform::ErrorCode HoldFolderAsFound(const std::string& folder, platform::HeldFolder& held) {
  using std::chrono::milliseconds;
  static constexpr milliseconds kWaits[] = {milliseconds(10), milliseconds(20), milliseconds(40),
                                            milliseconds(80)};
  return Retried(
      {kWaits}, [&] { return HoldFolderOnce(folder, held); },
      [](platform::ErrorCode code) { return code == platform::error::kSharingViolation; });
}

enum class Scratch { Made, NotMade, InTheWay };

// Makes name new and empty in the folder. A leftover of an earlier trial (an
// empty file) is removed first; anything else of that name (a link too) is
// somebody's and stays: InTheWay, with why in code.
Scratch MakeScratch(const platform::HeldFolder& folder, std::string_view name, platform::ErrorCode& code) {
  platform::FileStamp found;
  code = platform::StampOf(platform::Place(folder, name), found);
  if (code == platform::error::kSuccess && found.size != 0) {
    code = platform::error::kAccessDenied;
    return Scratch::InTheWay;
  }
  // The trial never leaves a link: one there may be a project's way to its file.
  if (code == platform::error::kLinkInTheWay) {
    code = platform::error::kAccessDenied;
    return Scratch::InTheWay;
  }
  if (code == platform::error::kSuccess) {
    code = platform::RemoveWorkFile(platform::Place(folder, name));
    if (code != platform::error::kSuccess) return Scratch::InTheWay;
  } else if (code != platform::error::kFileNotFound) {
    return Scratch::InTheWay;
  }
  platform::FileHandle file;
  code = platform::Open(platform::Place(folder, name), platform::Access::Write, platform::kShareNone,
                        platform::Creation::CreateNew, file);
  return code == platform::error::kSuccess ? Scratch::Made : Scratch::NotMade;
}

// A stop where the folder's file system cannot move a file over another in
// one step, as the work moves TMP.DAT over the contents file: found by doing
// it with two scratch files, and only the files made here are removed again.
// A scratch name that something else has stops the conversion too; scratch
// files that cannot be made (a read-only folder, a full disk) leave the folder
// to the steps that fail there.
StopReason ReplaceTrialStop(const platform::HeldFolder& held, const std::string& folder) {
  for (const std::string_view name : {kTrialName, kTrialTargetName}) {
    if (StopReason leftover = LeftoverStop(folder + std::string(name))) return leftover;
  }
  // A folder that lets files be made but neither moved nor removed (an
  // append-only one) is one we may not write as the work needs; the trial's
  // files would stay there for good.
  if (platform::CanRemoveIn(held) != platform::error::kSuccess) {
    return IoRefusal(Cause::ReadOnly, FolderShown(folder), platform::error::kAccessDenied);
  }
  platform::ErrorCode code = platform::error::kSuccess;
  const Scratch trial = MakeScratch(held, kTrialName, code);
  if (trial == Scratch::InTheWay) {
    return IoRefusal(Cause::TemporaryBlocked, folder + std::string(kTrialName), code);
  }
  Scratch target = Scratch::NotMade;
  std::optional<bool> replaces;
  if (trial == Scratch::Made) {
    target = MakeScratch(held, kTrialTargetName, code);
    if (target == Scratch::Made) {
      const platform::ErrorCode moved =
          platform::Replace(platform::Place(held, kTrialName), platform::Place(held, kTrialTargetName));
      replaces = moved == platform::error::kSuccess || moved == platform::error::kNotDurable;
    }
  }
  bool removed = true;
  if (trial == Scratch::Made && replaces != true) {
    removed = platform::Delete(platform::Place(held, kTrialName)) == platform::error::kSuccess;
  }
  if (target == Scratch::Made) (void)platform::Delete(platform::Place(held, kTrialTargetName));
  if (target == Scratch::InTheWay) {
    return IoRefusal(Cause::TemporaryBlocked, folder + std::string(kTrialTargetName), code);
  }
  // The same, where the file system keeps no flag that says so.
  if (replaces == false && !removed) {
    return IoRefusal(Cause::ReadOnly, FolderShown(folder), platform::error::kAccessDenied);
  }
  if (replaces == false) {
    return Refusal(Cause::CannotReplaceInOneStep, FolderShown(folder),
                   Named(texts::kCannotReplaceInOneStepFormat, FolderShown(folder)));
  }
  return {};
}

}  // namespace

StopReason FolderHolds::HoldFolderOf(std::string_view path) {
  const std::string folder = FolderOf(path);
  // A folder that could not be held stops every step that needs it: a step
  // that passed over the stop must not work in it unheld.
  for (const Spelling& known : spellings_) {
    if (known.folder == folder) return known.stop;
  }
  for (std::size_t i = 0, known = spellings_.size(); i < known; ++i) {
    if (platform::SameFile(FolderShown(spellings_[i].folder), FolderShown(folder))) {
      spellings_.push_back(spellings_[i]);
      spellings_.back().folder = folder;
      return spellings_.back().stop;
    }
  }
  auto held = std::make_unique<platform::HeldFolder>();
  const platform::ErrorCode code = HoldFolderAsFound(folder, *held);
  // Recorded even when busy: -j keeps apart whatever would collide.
  folders_.push_back(folder);
  const bool keep = code == platform::error::kSuccess && mode_ == Mode::Hold;
  StopReason stop;
  if (code == platform::error::kSharingViolation) {
    // Said as another conversion holding it, with the code of a file in use.
    stop = IoRefusal(Cause::FolderBusy, FolderShown(folder), static_cast<std::int32_t>(code));
    stop.text = Named(texts::kFolderBusyFormat, path);
  } else if (code != platform::error::kSuccess) {
    stop = IoRefusal(Cause::FolderNotHeld, FolderShown(folder), code);
  }
  spellings_.push_back({folder, keep ? std::optional(held_.size()) : std::nullopt, stop, std::nullopt});
  if (keep) held_.push_back(std::move(held));
  return stop;
}

StopReason FolderHolds::ReplaceStopIn(std::string_view path) {
  if (StopReason stop = HoldFolderOf(path)) return stop;
  const std::string folder = FolderOf(path);
  auto known = std::find_if(spellings_.begin(), spellings_.end(),
                            [&](const Spelling& spelling) { return spelling.folder == folder; });
  if (known == spellings_.end()) throw std::logic_error("a folder held is not known");
  if (!known->replaceStop) {
    // A check takes the hold again for the moment it tries.
    platform::HeldFolder probed;
    const platform::HeldFolder* in = known->held ? held_[*known->held].get() : nullptr;
    if (in == nullptr && HoldFolderAsFound(folder, probed) == platform::error::kSuccess) in = &probed;
    known->replaceStop = in != nullptr ? ReplaceTrialStop(*in, folder) : StopReason();
  }
  return *known->replaceStop;
}

platform::ErrorCode FolderHolds::OpenFile(std::string_view path, platform::Access access,
                                          platform::FileHandle& file) const {
  constexpr std::uint32_t kShare = platform::kShareRead | platform::kShareWrite;
  const platform::HeldFolder* held = HeldFolderOf(path);
  const std::string name = held ? NameIn(path) : std::string();
  return platform::Open(held ? platform::Place(*held, name) : platform::Place(path), access, kShare,
                        platform::Creation::OpenExisting, file);
}

const platform::HeldFolder* FolderHolds::HeldFolderOf(std::string_view path) const {
  const std::string folder = FolderOf(path);
  for (const Spelling& known : spellings_) {
    if (known.folder == folder) return known.held ? held_[*known.held].get() : nullptr;
  }
  return nullptr;
}

StopReason LeftoverStop(std::string_view workPath) {
  // The sticky folder's rule: what keeps us from replacing it keeps us from
  // removing it too.
  if (platform::CanReplaceIn(workPath) != platform::error::kAccessDenied) return {};
  return Refusal(Cause::OthersLeftover, std::string(workPath), Named(texts::kOthersLeftoverFormat, workPath));
}

}  // namespace kwt
