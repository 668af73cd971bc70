// kwtconv against a hostile file system: read-only files and folders, held
// files, missing folders, over-long and unconvertible names, a full disk. Each
// ends with its error text on the standard error (or its status) and exit 1,
// and every file is left as it was, apart from the temporary file that a pass
// stopped while writing keeps.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>

#include "cli/console.h"
#include "cli/messages.h"
#include "cli/run.h"
#include "convert/conversion.h"
#include "convert/conversion_test_support.h"
#include "runtime/cp932_text.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"
#include "runtime/platform_faults.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"
#include "safety/safety_test_support.h"
#include "safety/scratch_mount.h"

#ifdef __linux__
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

#ifdef __linux__
constexpr bool kLinux = true;
#else
constexpr bool kLinux = false;
#endif

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A project "p.kwj" of two layout-102 records; the contents file is
// contentsName inside the folder unless contentsPath names another (code page 932).
void MakeProject(const TempFolder& folder, std::string_view contentsName = "p.KWT",
                 std::optional<std::string> contentsPath = std::nullopt) {
  folder.Write(contentsName, Records102(2));
  folder.Write("p.kwj", ProjectText("102", "2", contentsPath.value_or(folder.PathOf(contentsName))));
}

// What one case prepares and what it holds while kwtconv runs.
struct Arrangement {
  // Why the case cannot run here; empty when it can.
  std::string skip;
  // Runs just before kwtconv starts and answers what to release after it.
  std::function<platform::FileHandle(const TempFolder&)> hold;
};

struct Expected {
  // The error text (code page 932) on the standard error; none for none.
  std::optional<std::string> error;
  // The status printed as "PROJECT: STATUS"; none for no such line.
  std::optional<std::string_view> status;
};

Arrangement Skip(std::string why) {
  return Arrangement{std::move(why), {}};
}

platform::FileHandle Hold(const TempFolder& folder, std::string_view name) {
  platform::FileHandle held;
  EXPECT_EQ(platform::Open(folder.PathOf(name), platform::Access::ReadWrite, platform::kShareNone,
                           platform::Creation::OpenExisting, held),
            platform::error::kSuccess);
  return held;
}

// Folders deep enough that a contents file inside passes 259 bytes.
std::string DeepFolder() {
  std::string deep;
  for (int i = 0; i < 6; ++i) deep += std::string(45, static_cast<char>('a' + i)) + "/";
  return deep;
}

// Two folders of 60 Japanese characters each (UTF-8 names): past 259 bytes in
// code page 932, yet short enough for Windows' own limit of 259 characters.
std::string JapaneseFolders() {
  std::string deep;
  for (const char* character : {"\xE3\x81\x82", "\xE3\x81\x84"}) {  // あ, い
    for (int i = 0; i < 60; ++i) deep += character;
    deep += "/";
  }
  return deep;
}

TEST(FailureInjection, EachFailureShowsItsTextAndChangesNothing) {
  struct Row {
    const char* name;
    std::function<Arrangement(const TempFolder&)> setup;
    std::function<Expected(const TempFolder&)> expected;
    const char* project = "p.kwj";
  };
  const auto error = [](std::string text) {
    return [text](const TempFolder&) { return Expected{text, {}}; };
  };
  const auto ioError = [&](std::int32_t code) { return error(IoMessage(code)); };
  const std::string invalid[] = {"\x85\x40", "\x81\x20", std::string("name\x81")};

  std::vector<Row> rows = {
      {"read-only contents file",
       [](const TempFolder& f) {
         MakeProject(f);
         MakeReadOnly(f.Path("p.KWT"));
         return Arrangement{};
       },
       ioError(5)},
      {"read-only project file",
       [](const TempFolder& f) {
         MakeProject(f);
         MakeReadOnly(f.Path("p.kwj"));
         return Arrangement{};
       },
       [](const TempFolder& f) {
         return Expected{texts::Format(texts::kCannotCreateFileFormat, f.PathOf("p.kwj")), {}};
       }},
      {"read-only folder (not root)",
       [](const TempFolder& f) {
         if (kWindows)
           return Skip("a folder's read-only flag does not stop Windows from creating files in it");
         if (RunningAsRoot())
           return Skip("root writes into read-only folders; the full-disk test remounts one read-only");
         MakeProject(f);
         MakeReadOnly(f.Path(""));
         return Arrangement{};
       },
       ioError(5)},
      {"append-only folder",
       [](const TempFolder& f) {
         MakeProject(f);
         if (!SetAppendOnly(f.Path(""), true))
           return Skip("chattr +a needs root and a file system with flags");
         return Arrangement{};
       },
       ioError(5)},
      // Windows' share modes and Linux's read lease keep its writes from going
      // into a file that the conversion replaces.
      {"contents file held by another opener",
       [](const TempFolder& f) {
         if (!kWindows && !kLinux) return Skip("no read leases here: a held contents file is converted");
         MakeProject(f);
         return Arrangement{{}, [](const TempFolder& g) { return Hold(g, "p.KWT"); }};
       },
       ioError(32)},
      {"project file held by another opener",
       [](const TempFolder& f) {
         MakeProject(f);
         return Arrangement{{}, [](const TempFolder& g) { return Hold(g, "p.kwj"); }};
       },
       [](const TempFolder& f) {
         // Windows refuses to read it at all; POSIX reads it, then cannot take
         // it over exclusively to replace it.
         return Expected{
             texts::Format(kWindows ? texts::kCannotOpenFileFormat : texts::kCannotCreateFileFormat,
                           f.PathOf("p.kwj")),
             {}};
       }},
      {"project in a missing folder", [](const TempFolder&) { return Arrangement{}; },
       [](const TempFolder&) {
         return Expected{{}, texts::kStatusFileMissing};
       },
       "gone/p.kwj"},
      {"contents in a missing folder",
       [](const TempFolder& f) {
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("gone/p.KWT")));
         return Arrangement{};
       },
       ioError(103)},
      {"contents path of more than 259 characters",
       [](const TempFolder& f) {
         if (kWindows) return Skip("Windows refuses such paths to the test's own file tools");
         MakeProject(f, DeepFolder() + "p.KWT");
         EXPECT_GT(f.PathOf(DeepFolder() + "p.KWT").size(), RecordFile::kMaxPathLength);
         return Arrangement{};
       },
       ioError(3)},
      {"contents path of more than 259 bytes in double-byte characters",
       [](const TempFolder& f) {
         MakeProject(f, JapaneseFolders() + "p.KWT");
         EXPECT_GT(f.PathOf(JapaneseFolders() + "p.KWT").size(), RecordFile::kMaxPathLength);
         return Arrangement{};
       },
       ioError(3)},
  };
  for (const std::string& bytes : invalid) {
    rows.push_back({"contents name that is not code page 932",
                    [bytes](const TempFolder& f) {
                      MakeProject(f, "p.KWT", f.PathOf("") + "p" + bytes + ".KWT");
                      return Arrangement{};
                    },
                    ioError(103)});
  }

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder{NameBytes::Utf8};
    const WritableAgain writable(folder.Path(""));
    const Arrangement setup = row.setup(folder);
    if (!setup.skip.empty()) {
      std::cout << "[ SKIPPED  ] " << row.name << ": " << setup.skip << "\n";
      continue;
    }
    const std::string project = folder.Utf8(row.project);
    const auto before = folder.Snapshot();
    platform::FileHandle held = setup.hold ? setup.hold(folder) : platform::FileHandle();
    const ProcessResult result = Kwtconv({project});
    held = platform::FileHandle();

    const Expected expected = row.expected(folder);
    EXPECT_EQ(result.exitCode, 1);
    // One result: the error, or the status that says why, then at most a note.
    ASSERT_TRUE(expected.error || expected.status);
    EXPECT_EQ(FirstLine(result.err), ErrorLine(project, expected.error ? *expected.error : *expected.status));
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(folder.Snapshot() == before);
  }
}

// Names without a form on disk: the platform refuses them as invalid names
// (code 123), and a project or contents file with such a name is missing.
TEST(FailureInjection, NamesThatAreNotCodePage932AreInvalidAndMissing) {
  TempFolder folder{NameBytes::Utf8};
  folder.Write("keep.KWT", Records102(1));
  const auto before = folder.Snapshot();
  const std::string invalid[] = {"\x85\x40", "\x81\x20", "name\x81"};
  for (std::size_t i = 0; i < std::size(invalid); ++i) {
    SCOPED_TRACE("name " + std::to_string(i));
    const std::string path = folder.PathOf("") + invalid[i];
    platform::FileHandle file;
    EXPECT_EQ(platform::Open(path, platform::Access::ReadWrite, platform::kShareNone,
                             platform::Creation::CreateAlways, file),
              platform::error::kInvalidName);
    EXPECT_FALSE(file);
    EXPECT_FALSE(platform::IsFile(path));
    EXPECT_EQ(platform::Delete(path), platform::error::kInvalidName);
    EXPECT_EQ(platform::Replace(folder.PathOf("keep.KWT"), path), platform::error::kInvalidName);
    EXPECT_EQ(platform::Move(path, folder.PathOf("other.KWT")), platform::error::kInvalidName);

    RecordFile records;
    AssignPath(records, path);
    CreateEmpty(records, 300);
    EXPECT_EQ(TakeIoStatus(), static_cast<std::int32_t>(platform::error::kInvalidName));
    EXPECT_EQ(IoMessage(123), texts::Format(texts::kIoGenericFormat, "123"));

    RecordingFace face;
    Converter converter(face);
    converter.Convert(path + ".kwj");
    EXPECT_EQ(face.log, std::vector<std::string>{Status(texts::kStatusFileMissing)});
  }
  EXPECT_TRUE(folder.Snapshot() == before);
}

// Fills what is left of the mounted disk with one file (at most its size: a
// disk the seam makes up fills only as the seam counts).
void FillUp(const fs::path& file, std::uint64_t diskBytes) {
  std::ofstream out(file, std::ios::binary);
  const std::string block(4096, 'f');
  for (std::uint64_t written = 0;
       written < diskBytes && out.write(block.data(), static_cast<std::streamsize>(block.size()));
       written += block.size()) {
  }
}

// kwtconv run in this process (a UTF-8 argument list), its output captured.
ProcessResult KwtconvHere(const std::vector<std::string>& arguments) {
  class Captured : public cli::Console {
   public:
    void Write(cli::Stream stream, std::string_view text) override {
      (stream == cli::Stream::Out ? out : err) += Cp932ToUtf8Lossy(text);
    }
    void Flush(cli::Stream) override {}
    bool IsTerminal(cli::Stream) override { return false; }
    int Columns(cli::Stream) override { return 0; }
    std::string out, err;
  } console;
  std::vector<std::string> cp932;
  for (const std::string& argument : arguments) cp932.push_back(Cp932(argument));
  ProcessResult result;
  result.exitCode = cli::Run(cp932, console);
  result.out = console.out;
  result.err = console.err;
  return result;
}

// kwtconv on a scratch disk. A mounted one is real for a child process; the
// one the seam makes up on Windows lives in this process, so kwtconv runs here.
ProcessResult KwtconvOnDisk(const std::vector<std::string>& arguments) {
#ifdef _WIN32
  return KwtconvHere(arguments);
#else
  return Kwtconv(arguments);
#endif
}

// A full disk under the contents file: the pass stops with a disk-full error
// and removes its unfinished temporary file, so that the disk does not stay
// full, and says so; the contents and project files keep their bytes.
TEST(FullDisk, ContentsOnAFullDiskKeepsItsRecords) {
  TempFolder folder{NameBytes::Utf8};
  fs::create_directory(folder.Path("disk"));
  ScratchMount disk(folder.Path("disk"), 64 * 1024);
  if (!disk.Active()) GTEST_SKIP() << disk.Why();
  std::string records;
  for (int i = 0; i < 100; ++i) records += Record102("record " + std::to_string(i), "text", "note");
  folder.Write("disk/p.KWT", records);
  const std::string projectText = ProjectText("102", "100", folder.PathOf("disk/p.KWT"));
  folder.Write("disk/p.kwj", projectText);

  const std::string project = folder.Utf8("disk/p.kwj");
  const ProcessResult result = KwtconvOnDisk({"-q", project});
  EXPECT_EQ(result.exitCode, 1);
  // A record that half fits comes back short (101); one that finds no room
  // at all is refused (112).
  EXPECT_TRUE(FirstLine(result.err) == ErrorLine(project, IoMessage(101)) ||
              FirstLine(result.err) == ErrorLine(project, IoMessage(112)))
      << result.err;
  EXPECT_EQ(folder.Read("disk/p.kwj"), projectText);
  EXPECT_EQ(folder.Read("disk/p.KWT"), records);
  EXPECT_FALSE(folder.Exists("disk/TMP.DAT"));
  const std::string note = Say(cli::Msg::NoteDiskFreed, {folder.PathOf("disk/TMP.DAT")});
  EXPECT_NE(result.err.find("kwtconv: " + project + ": note: " + Utf8(note) + "\n"), std::string::npos)
      << result.err;
}

// A full disk under the project file only: the new text cannot be written
// beside it, so the pass stops before the contents file is replaced.
TEST(FullDisk, ProjectOnAFullDiskStopsBeforeTheContentsMove) {
  TempFolder folder{NameBytes::Utf8};
  fs::create_directory(folder.Path("disk"));
  ScratchMount disk(folder.Path("disk"), 64 * 1024);
  if (!disk.Active()) GTEST_SKIP() << disk.Why();
  folder.Write("p.KWT", Records102(2));
  folder.Write("disk/p.kwj", ProjectText("102", "2", folder.PathOf("p.KWT")));
  FillUp(folder.Path("disk/filler"), 64 * 1024);
  folder.Backdate();
  const auto before = folder.Snapshot();

  const std::string project = folder.Utf8("disk/p.kwj");
  const ProcessResult result = KwtconvOnDisk({"-q", project});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(FirstLine(result.err), ErrorLine(project, texts::kStreamWriteError));
  EXPECT_TRUE(folder.Snapshot() == before);
}

// A folder that nobody may write, root included: a read-only file system. It
// is held all the same (nothing needs making there to hold it), and both the
// conversion and --check say that the folder cannot be written.
TEST(FullDisk, ReadOnlyFileSystemRefusesWithAccessDenied) {
  TempFolder folder{NameBytes::Utf8};
  fs::create_directory(folder.Path("disk"));
  ScratchMount disk(folder.Path("disk"), 64 * 1024);
  if (!disk.Active()) GTEST_SKIP() << disk.Why();
  folder.Write("disk/p.KWT", Records102(2));
  folder.Write("disk/p.kwj", ProjectText("102", "2", folder.PathOf("disk/p.KWT")));
  folder.Backdate();
  if (!disk.MakeReadOnly()) GTEST_SKIP() << disk.Why();
  const auto before = folder.Snapshot();

  const std::string project = folder.Utf8("disk/p.kwj");
  const ProcessResult check = KwtconvOnDisk({"--check", project});
  const ProcessResult result = KwtconvOnDisk({"-q", project});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(FirstLine(result.err), ErrorLine(project, IoMessage(5)));
  // What cannot be written is the folder: the note and the check name it.
  const std::string held = folder.PathOf("disk/");
  EXPECT_NE(result.err.find(": note: " + Utf8(Say(cli::Msg::NoteReadOnly, {held}))), std::string::npos)
      << result.err;
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_NE(check.out.find(Utf8(Say(cli::Msg::ReasonReadOnly, {" (" + held + ")"}))), std::string::npos)
      << check.out;
  EXPECT_TRUE(folder.Snapshot() == before);
}

// A share that cannot move a file over another in one step (SFTP without
// atomic rename, played by the seam): refused before anything changes, the
// folder named, and --check says so first.
TEST(FullDisk, AShareThatCannotReplaceInOneStepIsRefusedAndForeseen) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder);
  folder.Backdate();
  const auto before = folder.Snapshot();
  platform::faults::Plan share;
  share.diskFolder = folder.PathOf("");
  share.diskBytes = UINT64_MAX;
  share.diskCannotReplace = true;
  platform::faults::SetPlan(share);
  const std::string project = folder.Utf8("p.kwj");
  const ProcessResult check = KwtconvHere({"--check", project});
  const ProcessResult converted = KwtconvHere({"-q", project});
  platform::faults::ClearPlan();

  const std::string message = texts::Format(texts::kCannotReplaceInOneStepFormat, folder.PathOf(""));
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_NE(check.out.find(Utf8(message)), std::string::npos) << check.out;
  EXPECT_EQ(converted.exitCode, 1);
  EXPECT_EQ(FirstLine(converted.err), ErrorLine(project, message));
  EXPECT_TRUE(folder.Snapshot() == before);
}

#ifdef __linux__
// Somebody outside a shared group converting its project (bob:team, 666, in a
// folder anybody may write) can give the new files neither owner nor group:
// they take the group's bits away rather than open them to the converter's
// own group, and kwtconv says what could not be kept.
TEST(Permissions, WhatTheNewFilesCannotKeepIsSaid) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root to act as other users";
  const uid_t bob = 4243;
  const gid_t team = 4242;
  const uid_t nobody = 65534;
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder);
  ASSERT_EQ(::chmod(folder.Path("").c_str(), 0777), 0);
  for (const char* name : {"p.kwj", "p.KWT"}) {
    ASSERT_EQ(::chown(folder.Path(name).c_str(), bob, team), 0);
    ASSERT_EQ(::chmod(folder.Path(name).c_str(), 0666), 0);
  }
  const std::string project = folder.Utf8("p.kwj");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) _exit(255);
    const ProcessResult result = KwtconvHere({project});
    const std::string note = Utf8(Say(cli::Msg::NotePermissionsNotKept, {"owner, group"}));
    // Among the notes: another user's file takes no lease either.
    _exit(result.exitCode != 0 ? 2 : result.out.find(note) == std::string::npos ? 3 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2: the conversion failed, 3: no note";
  for (const char* name : {"p.kwj", "p.KWT"}) {
    SCOPED_TRACE(name);
    struct stat info {};
    ASSERT_EQ(::stat(folder.Path(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, nobody);
    EXPECT_EQ(info.st_gid, nobody);
    EXPECT_EQ(info.st_mode & 07777, 0606u);
  }
  EXPECT_EQ(folder.Read("p.KWT"), To140Records(To103Records(Records102(2), 2), 2));
}

// kwtconv run in a child process once setUp has made it what the case needs,
// its results sent back whole.
ProcessResult KwtconvHereAfter(const std::function<bool()>& setUp,
                               const std::vector<std::string>& arguments) {
  int pipe[2];
  if (::pipe(pipe) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    if (!setUp()) _exit(255);
    const ProcessResult result = KwtconvHere(arguments);
    const std::string sent = std::to_string(result.exitCode) + '\0' + result.out + '\0' + result.err;
    for (std::size_t at = 0; at < sent.size();) {
      const ssize_t wrote = ::write(pipe[1], sent.data() + at, sent.size() - at);
      if (wrote <= 0) _exit(254);
      at += static_cast<std::size_t>(wrote);
    }
    _exit(0);
  }
  ::close(pipe[1]);
  std::string got;
  char buffer[4096];
  for (ssize_t read; (read = ::read(pipe[0], buffer, sizeof buffer)) > 0;) got.append(buffer, read);
  ::close(pipe[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {};
  const std::size_t first = got.find('\0');
  const std::size_t second = got.find('\0', first + 1);
  if (second == std::string::npos) return {};
  return {std::stoi(got.substr(0, first)), got.substr(first + 1, second - first - 1), got.substr(second + 1)};
}

// kwtconv run in a child process as user.
ProcessResult KwtconvHereAs(uid_t user, const std::vector<std::string>& arguments) {
  return KwtconvHereAfter(
      [user] { return ::setgroups(0, nullptr) == 0 && ::setgid(user) == 0 && ::setuid(user) == 0; },
      arguments);
}

#ifndef __SANITIZE_ADDRESS__  // the sanitizers need files of their own to report
// With few files left to open, wherever the conversion runs out it says the
// error it met (too many open files is 4), never that a file changed, and
// nothing is lost: the next run with files to spare ends converted.
TEST(FailureInjection, RunningOutOfFilesIsSaidAsItIs) {
  const int firstFree = ::dup(0);
  ::close(firstFree);
  // What the project's and the contents file's "changed during the
  // conversion" texts say.
  const std::string changed = "\xE5\xA4\x89\xE6\x8F\x9B\xE4\xB8\xAD\xE3\x81\xAB\xE5\xA4\x89\xE6\x9B\xB4";
  for (int spare = 0; spare <= 12; ++spare) {
    SCOPED_TRACE(spare);
    TempFolder folder{NameBytes::Utf8};
    MakeProject(folder);
    const std::string project = folder.Utf8("p.kwj");
    const ProcessResult starved = KwtconvHereAfter(
        [limit = static_cast<rlim_t>(firstFree + spare)] {
          const rlimit files{limit, limit};
          return ::setrlimit(RLIMIT_NOFILE, &files) == 0;
        },
        {project});
    EXPECT_EQ(starved.err.find(changed), std::string::npos) << starved.err;
    EXPECT_EQ(KwtconvHere({project}).exitCode, 0);
    EXPECT_EQ(folder.Read("p.KWT"), To140Records(To103Records(Records102(2), 2), 2));
  }
}
#endif

// Another user's file under a work name in a shared folder (sticky, as /tmp)
// can be neither removed nor replaced by us: the plan refuses before anything
// changes, --check says so first, and both name the file and who may remove it.
TEST(Permissions, AnotherUsersLeftoverInASharedFolderIsNamedFirst) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root to act as other users";
  const uid_t bob = 4243;
  const uid_t nobody = 65534;
  struct Row {
    const char* leftover;
    bool backup;
  };
  const Row rows[] = {{"TMP.DAT", false}, {"p.kwj$$$", false}, {"p.KWT.bak$$$", true}, {"TMP.TRY", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.leftover);
    TempFolder folder{NameBytes::Utf8};
    if (!OthersCanReach(folder.Path(""))) GTEST_SKIP() << "another user cannot reach " << folder.Path("");
    MakeProject(folder);
    folder.Write(row.leftover, "");
    ASSERT_EQ(::chmod(folder.Path("").c_str(), 01777), 0);
    for (const char* name : {"p.kwj", "p.KWT"})
      ASSERT_EQ(::chown(folder.Path(name).c_str(), nobody, nobody), 0);
    ASSERT_EQ(::chown(folder.Path(row.leftover).c_str(), bob, bob), 0);
    folder.Backdate();
    const auto before = folder.Snapshot();
    const std::string project = folder.Utf8("p.kwj");
    const std::string leftover = folder.PathOf(row.leftover);

    if (!row.backup) {
      const ProcessResult check = KwtconvHereAs(nobody, {"--check", project});
      EXPECT_EQ(check.exitCode, 1);
      const std::string reason = Say(cli::Msg::ReasonOthersLeftover, {row.leftover, " (" + leftover + ")"});
      EXPECT_NE(check.out.find(Utf8(reason)), std::string::npos) << check.out;
    }
    const ProcessResult converted =
        KwtconvHereAs(nobody, row.backup ? std::vector<std::string>{"--backup", project}
                                         : std::vector<std::string>{project});
    EXPECT_EQ(converted.exitCode, 1);
    EXPECT_EQ(converted.err, ErrorLine(project, texts::Format(texts::kOthersLeftoverFormat, leftover)) +
                                 "kwtconv: " + project +
                                 ": note: " + Utf8(Say(cli::Msg::NoteOthersLeftover)) + "\n");
    EXPECT_TRUE(folder.Snapshot() == before);
  }
}
#endif

}  // namespace
}  // namespace kwt::testing
