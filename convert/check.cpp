#include "convert/check.h"

#include "convert/contents_layout.h"
#include "convert/plan.h"
#include "runtime/file_names.h"
#include "runtime/ini_file.h"
#include "runtime/record_file.h"

namespace kwt {

namespace keys = project_keys;

std::optional<std::uint64_t> ProjectCheck::ExpectedSize() const {
  if (count < 0) return std::nullopt;
  return static_cast<std::uint64_t>(count) * recordSize;
}

bool ProjectCheck::ConversionWouldFail() const {
  return failure != CheckFailure::None;
}

Verdict ProjectCheck::Outcome() const {
  if (failure != CheckFailure::None) return Verdict::WillFail;
  return passes.empty() ? Verdict::UpToDate : Verdict::WillConvert;
}

namespace {

bool Writable(std::string_view path) {
  platform::FileHandle file;
  return platform::Open(path, platform::Access::ReadWrite, platform::kShareRead | platform::kShareWrite,
                        platform::Creation::OpenExisting, file) == platform::error::kSuccess;
}

// True when another conversion holds the folder of path; taking the hold for
// a moment and letting go changes nothing.
bool FolderBusy(std::string_view path) {
  platform::FileHandle lock;
  return platform::LockFolder(DirectoryPart(path, kNativePathStyle), lock) ==
         platform::error::kSharingViolation;
}

// What a conversion would stop at, in the order it would meet it.
void ForeseeFailure(ProjectCheck& check, TMemIniFile& store) {
  const auto fail = [&check](CheckFailure failure, std::string path = {}) {
    check.failure = failure;
    check.failurePath = std::move(path);
  };
  if (FolderBusy(check.project)) return fail(CheckFailure::FolderBusy, check.project);
  if (check.passes.empty()) return;
  if (check.count == 0) return fail(CheckFailure::NoContents);
  if (check.count < 0) return fail(CheckFailure::NegativeCount);
  if (platform::KindOf(check.contentsPath) == platform::FileKind::Other) {
    return fail(CheckFailure::NotRegularFile, check.contentsPath);
  }
  if (!check.contentsPresent) return fail(CheckFailure::ContentsMissing, check.contentsPath);
  const std::string temporary = DirectoryPart(check.contentsPath, kNativePathStyle) + "TMP.DAT";
  if (check.contentsPath.size() > RecordFile::kMaxPathLength ||
      temporary.size() > RecordFile::kMaxPathLength) {
    return fail(CheckFailure::PathTooLong, check.contentsPath);
  }
  if (FolderBusy(check.contentsPath)) return fail(CheckFailure::FolderBusy, check.contentsPath);
  if (check.convertedLayout != 0) return fail(CheckFailure::AlreadyConverted, check.contentsPath);
  if (!check.contentsSize) return fail(CheckFailure::ContentsUnreadable, check.contentsPath);
  if (*check.recordsPresent < static_cast<std::uint64_t>(check.count))
    return fail(CheckFailure::TooFewRecords);
  if (platform::KindOf(temporary) == platform::FileKind::Directory) {
    return fail(CheckFailure::TemporaryBlocked, temporary);
  }
  if (!Writable(check.contentsPath)) return fail(CheckFailure::ReadOnly, check.contentsPath);
  if (!Writable(store.FileName())) return fail(CheckFailure::ReadOnly, store.FileName());
  for (const std::string& folder : {DirectoryPart(check.contentsPath, kNativePathStyle),
                                    DirectoryPart(store.FileName(), kNativePathStyle)}) {
    if (!platform::FolderIsWritable(folder))
      return fail(CheckFailure::ReadOnly, folder.empty() ? "." : folder);
  }
}

}  // namespace

ProjectCheck CheckProject(std::string_view project, const ContentsChoice& choice) {
  ProjectCheck check;
  check.project = std::string(project);
  if (platform::KindOf(project) == platform::FileKind::Other) {
    check.failure = CheckFailure::NotRegularFile;
    check.failurePath = check.project;
    return check;
  }
  check.projectPresent = FileIsPresent(project);
  if (!check.projectPresent) {
    check.failure = CheckFailure::ProjectMissing;
    return check;
  }

  // The store reads the file once and keeps no handle; it is never saved here.
  TMemIniFile store{std::string(project)};
  store.SetCaseSensitivity(false);
  check.version = store.ReadNumber(keys::kSection, keys::kVersion, 0);
  if (const std::string text = store.ReadText(keys::kSection, keys::kVersion, {}); !text.empty()) {
    check.versionText = text;
  }
  check.count = store.ReadNumber(keys::kSection, keys::kCount, 0);

  const Layout& layout = LayoutForVersion(check.version);
  check.layout = layout.number;
  check.recordSize = layout.recordSize;
  for (const Pass& pass : PassesFor(check.version)) check.passes.push_back(pass.name);

  const ChosenContents contents = ChooseContentsPath(store, choice);
  check.contentsPath = contents.path;
  if (contents.path != contents.stored) check.recordedContentsPath = contents.stored;
  check.contentsFoundBesideProject = contents.foundBesideProject;
  check.contentsPresent = FileIsPresent(check.contentsPath);
  if (check.contentsPresent) {
    // Opening for reading alone changes neither the bytes nor any date.
    platform::FileHandle file;
    std::uint64_t size = 0;
    check.sizeError =
        platform::Open(check.contentsPath, platform::Access::Read,
                       platform::kShareRead | platform::kShareWrite, platform::Creation::OpenExisting, file);
    if (check.sizeError == platform::error::kSuccess) check.sizeError = platform::Size(file, size);
    if (check.sizeError == platform::error::kSuccess) {
      check.contentsSize = size;
      check.recordsPresent = size / layout.recordSize;
    }
    if (!check.passes.empty()) {
      if (const Layout* later = LaterLayoutOfContents(layout, check.contentsPath, check.count)) {
        check.convertedLayout = later->number;
      }
    }
  }
  ForeseeFailure(check, store);
  return check;
}

}  // namespace kwt
