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

#include "kit/temp_folder.h"
#include "kit/wait_until.h"
#include "runtime/platform.h"
#include "runtime/platform_faults.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace kwt::platform {
namespace {

namespace fs = std::filesystem;

class SeamContract : public ::testing::Test {
 protected:
  testing::TempFolder folder_{"kwt-contract-"};
  const fs::path& dir_ = folder_.path();
};

// What a row finds: a file "file", a read-only file "readonly", a folder
// "folder", a file "held" that another opener holds without sharing, and
// nothing at "missing" or below "nofolder".
struct Situation {
  explicit Situation(const fs::path& folder) : dir(folder) {
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
  std::string Path(const char* name) const { return (dir / name).string(); }

  fs::path dir;
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

// A fault plan reaches every backend's calls through its one table: a
// read-only disk refuses what writes or creates, a cap shortens a write, and
// a share that cannot replace refuses Replace but not Move.
TEST_F(SeamContract, FaultPlansReachEveryBackend) {
  const Situation s(dir_);
  std::ofstream(dir_ / "other") << "other";
  faults::Plan readOnly;
  readOnly.diskFolder = (dir_ / "").string();
  readOnly.diskBytes = UINT64_MAX;
  readOnly.diskReadOnly = true;
  faults::Plan capped;
  capped.fileSizeCap = 3;
  faults::Plan share = readOnly;
  share.diskReadOnly = false;
  share.diskCannotReplace = true;
  const std::uint32_t shareAll = kShareRead | kShareWrite;
  struct Row {
    const char* name;
    const faults::Plan& plan;
    std::function<ErrorCode()> call;
    ErrorCode expected;
  };
  const Row rows[] = {
      {"read-only: create", readOnly,
       [&] { return OpenAs(s.Path("new"), Access::ReadWrite, kShareNone, Creation::CreateNew); },
       error::kAccessDenied},
      {"read-only: open for writing", readOnly,
       [&] { return OpenAs(s.Path("file"), Access::Write, shareAll, Creation::OpenExisting); },
       error::kAccessDenied},
      {"read-only: open for reading", readOnly,
       [&] { return OpenAs(s.Path("file"), Access::Read, shareAll, Creation::OpenExisting); },
       error::kSuccess},
      {"cap: a write comes back short", capped,
       [&] {
         FileHandle file;
         std::size_t put = 0;
         if (const ErrorCode code = Open(s.Path("new"), Access::Write, kShareNone, Creation::CreateNew, file))
           return code;
         const ErrorCode code = Write(file, "12345", 5, put);
         return code != error::kSuccess ? code : put == 3 ? error::kSuccess : error::kGeneralFailure;
       },
       error::kSuccess},
#ifndef _WIN32
      // A write that takes nothing is a full disk, never a copy that spins;
      // the half copy goes.
      {"cap: a copy stops at the cap", capped,
       [&] {
         const ErrorCode code = Copy(s.Path("file"), s.Path("copy"));
         return fs::exists(dir_ / "copy") ? error::kGeneralFailure : code;
       },
       error::kDiskFull},
#endif
      {"share: replace", share, [&] { return Replace(s.Path("file"), s.Path("other")); },
       error::kAccessDenied},
      {"share: move to a free name", share, [&] { return Move(s.Path("file"), s.Path("moved")); },
       error::kSuccess},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    faults::SetPlan(row.plan);
    const ErrorCode answer = row.call();
    faults::ClearPlan();
    EXPECT_EQ(answer, row.expected);
  }
}

#ifndef _WIN32
// A signal without SA_RESTART (a stop request) interrupts a blocking open and
// read; the seam makes them again instead of answering a failure. A pipe
// blocks both until its writer, who waits a while, opens and writes.
TEST_F(SeamContract, SignalsDoNotFailBlockingCalls) {
  const std::string pipe = (dir_ / "pipe").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  struct sigaction quiet {};
  quiet.sa_handler = [](int) {};
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGALRM, &quiet, &before), 0);
  // The writer takes no signal: they are all for the blocked calls here.
  sigset_t alarm;
  sigemptyset(&alarm);
  sigaddset(&alarm, SIGALRM);
  ::pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
  std::thread writer([&] {
    testing::KeepOthersWaiting(std::chrono::milliseconds(100));
    FileHandle end;
    std::size_t put = 0;
    EXPECT_EQ(Open(pipe, Access::Write, kShareRead, Creation::OpenExisting, end), 0u);
    testing::KeepOthersWaiting(std::chrono::milliseconds(100));
    EXPECT_EQ(Write(end, "x", 1, put), 0u);
  });
  ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
  const itimerval often{{0, 2000}, {0, 2000}};
  ::setitimer(ITIMER_REAL, &often, nullptr);

  FileHandle file;
  const ErrorCode opened = Open(pipe, Access::Read, kShareRead, Creation::OpenExisting, file);
  char byte = 0;
  std::size_t got = 0;
  const ErrorCode read = opened == 0 ? Read(file, &byte, 1, got) : opened;

  const itimerval never{};
  ::setitimer(ITIMER_REAL, &never, nullptr);
  // A failed open leaves the writer waiting for a reader: give it one.
  const int reader = opened == 0 ? -1 : ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (reader >= 0) ::close(reader);
  ::sigaction(SIGALRM, &before, nullptr);
  EXPECT_EQ(opened, 0u);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(got, 1u);
}
#endif

}  // namespace
}  // namespace kwt::platform
