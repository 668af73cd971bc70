// The platform seam answers the same Windows code for the same situation on
// every platform, so that the layers above show the same texts everywhere.
// One table, run natively and under Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "kit/scoped_temp_dir.h"
#include "runtime/platform.h"

namespace kwt::platform {
namespace {

namespace fs = std::filesystem;

class SeamContract : public ::testing::Test {
 protected:
  testing::ScopedTempDir folder_{"kwt-contract-"};
  const fs::path& dir_ = folder_.path();
};

// What a row finds: a file "file", a read-only file "readonly", a folder
// "folder", a file "held" that another opener holds without sharing, and
// nothing at "missing" or below "nofolder".
struct Situation {
  explicit Situation(const fs::path& dir) : dir_(dir) {
    fs::create_directories(dir);
    std::ofstream(dir / "file") << "file";
    std::ofstream(dir / "readonly") << "readonly";
    fs::permissions(dir / "readonly",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::ofstream(dir / "held") << "held";
    fs::create_directory(dir / "folder");
    EXPECT_EQ(Open(Path("held"), Access::ReadWrite, kShareNone, Creation::OpenExisting, holder), 0u);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  FileHandle holder;
};

ErrorCode OpenAs(const std::string& path, Access access, std::uint32_t share, Creation creation) {
  FileHandle file;
  return Open(path, access, share, creation, file);
}

TEST_F(SeamContract, EverySituationAnswersTheSameCode) {
  using Call = std::function<ErrorCode(const Situation&)>;
  struct Row {
    const char* name;
    Call call;
    ErrorCode expected;
  };
  const std::uint32_t shareAll = kShareRead | kShareWrite;
  const Row rows[] = {
      {"open: missing file",
       [&](const Situation& s) {
         return OpenAs(s.Path("missing"), Access::Read, shareAll, Creation::OpenExisting);
       },
       error::kFileNotFound},
      {"open: missing folder",
       [&](const Situation& s) {
         return OpenAs(s.Path("nofolder/file"), Access::Read, shareAll, Creation::OpenExisting);
       },
       error::kPathNotFound},
      {"open: a folder",
       [&](const Situation& s) {
         return OpenAs(s.Path("folder"), Access::Read, shareAll, Creation::OpenExisting);
       },
       error::kAccessDenied},
      {"open for writing: read-only",
       [&](const Situation& s) {
         return OpenAs(s.Path("readonly"), Access::ReadWrite, shareAll, Creation::OpenExisting);
       },
       error::kAccessDenied},
      {"open exclusively: held by another",
       [&](const Situation& s) {
         return OpenAs(s.Path("held"), Access::ReadWrite, kShareNone, Creation::OpenExisting);
       },
       error::kSharingViolation},
      {"create: missing folder",
       [&](const Situation& s) {
         return OpenAs(s.Path("nofolder/new"), Access::ReadWrite, kShareNone, Creation::CreateAlways);
       },
       error::kPathNotFound},
      {"create: read-only",
       [&](const Situation& s) {
         return OpenAs(s.Path("readonly"), Access::ReadWrite, kShareNone, Creation::CreateAlways);
       },
       error::kAccessDenied},
      {"create new: existing",
       [&](const Situation& s) {
         return OpenAs(s.Path("file"), Access::ReadWrite, kShareNone, Creation::CreateNew);
       },
       error::kFileExists},
      {"create new: missing folder",
       [&](const Situation& s) {
         return OpenAs(s.Path("nofolder/new"), Access::ReadWrite, kShareNone, Creation::CreateNew);
       },
       error::kPathNotFound},
      {"delete: missing file", [](const Situation& s) { return Delete(s.Path("missing")); },
       error::kFileNotFound},
      {"delete: missing folder", [](const Situation& s) { return Delete(s.Path("nofolder/file")); },
       error::kPathNotFound},
      {"delete: a folder", [](const Situation& s) { return Delete(s.Path("folder")); }, error::kAccessDenied},
      {"delete: held by another", [](const Situation& s) { return Delete(s.Path("held")); },
       error::kSharingViolation},
      {"move: missing source", [](const Situation& s) { return Move(s.Path("missing"), s.Path("to")); },
       error::kFileNotFound},
      {"move: source folder missing",
       [](const Situation& s) { return Move(s.Path("nofolder/a"), s.Path("to")); }, error::kPathNotFound},
      {"move: target folder missing",
       [](const Situation& s) { return Move(s.Path("file"), s.Path("nofolder/to")); }, error::kPathNotFound},
      {"move: existing target", [](const Situation& s) { return Move(s.Path("file"), s.Path("readonly")); },
       error::kAlreadyExists},
      {"move: held by another", [](const Situation& s) { return Move(s.Path("held"), s.Path("to")); },
       error::kSharingViolation},
      {"replace: missing source",
       [](const Situation& s) { return Replace(s.Path("missing"), s.Path("file")); }, error::kFileNotFound},
      {"replace: target folder missing",
       [](const Situation& s) { return Replace(s.Path("file"), s.Path("nofolder/to")); },
       error::kPathNotFound},
      {"replace: target a folder",
       [](const Situation& s) { return Replace(s.Path("file"), s.Path("folder")); }, error::kAccessDenied},
      {"replace: source held by another",
       [](const Situation& s) { return Replace(s.Path("held"), s.Path("file")); }, error::kSharingViolation},
      {"replace: target held by another",
       [](const Situation& s) { return Replace(s.Path("file"), s.Path("held")); }, error::kAccessDenied},
      {"copy: missing source", [](const Situation& s) { return Copy(s.Path("missing"), s.Path("to")); },
       error::kFileNotFound},
      {"copy: existing target", [](const Situation& s) { return Copy(s.Path("file"), s.Path("readonly")); },
       error::kFileExists},
      {"copy: target folder missing",
       [](const Situation& s) { return Copy(s.Path("file"), s.Path("nofolder/to")); }, error::kPathNotFound},
      {"work file: held by another", [](const Situation& s) { return RemoveWorkFile(s.Path("held")); },
       error::kSharingViolation},
      {"work file: a folder", [](const Situation& s) { return RemoveWorkFile(s.Path("folder")); },
       error::kAccessDenied},
      {"work file: missing", [](const Situation& s) { return RemoveWorkFile(s.Path("missing")); },
       error::kSuccess},
      {"hold: missing folder",
       [](const Situation& s) {
         FileHandle lock;
         return LockFolder(s.Path("nofolder/"), lock);
       },
       error::kPathNotFound},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Situation situation(dir_ / std::to_string(&row - rows));
    EXPECT_EQ(row.call(situation), row.expected);
  }
}

}  // namespace
}  // namespace kwt::platform
