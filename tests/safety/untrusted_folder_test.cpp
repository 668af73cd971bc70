// A project's folder may be hostile or left in a mess: work files planted as
// links, devices named as contents, a second project on the same contents, a
// second conversion at the same time, files a stopped run left behind. The
// user's records and every file outside the project must come out intact.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "convert/backup.h"
#include "convert/conversion.h"
#include "convert/conversion_plan.h"
#include "convert/conversion_test_support.h"
#include "kit/wait_until.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/texts.h"
#include "safety/safety_test_support.h"

#ifndef _WIN32
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/platform_journal.h"
#endif
#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 3;
#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A recording face that can also act at the last question a pass asks before
// it replaces the files, and ask to stop.
class ActingFace : public RecordingFace {
 public:
  bool StopRequested() override {
    if (beforeReplacing && !log.empty() && log.back() == Status(texts::kStatusFinishing)) {
      std::exchange(beforeReplacing, nullptr)();
    }
    return stop;
  }
  std::function<void()> beforeReplacing;
  bool stop = false;
};

// p.kwj at version 102 naming c.KWT, and files ("victim", "TMP.LCK") that
// nothing may touch.
struct Project {
  explicit Project(std::string_view version = "102") {
    old = Records102(kRecords);
    records103 = To103Records(old, kRecords);
    records140 = To140Records(records103, kRecords);
    project0 = "; kept by hand\r\n" + Kwj(version, std::to_string(kRecords), folder.PathOf("c.KWT"));
    project103 = StampedProject(project0, 103);
    project140 = StampedProject(project103, 140);
    folder.Write("p.kwj", project0);
    folder.Write("c.KWT", old);
    folder.Write("victim", kVictim);
    // The user's own, under a name no work of ours takes.
    folder.Write("TMP.LCK", kVictim);
  }
  std::string Path(std::string_view name) const { return folder.PathOf(name); }
  void Convert(ConversionOptions options = {}) {
    Converter converter(face, std::move(options));
    converter.Convert(Path("p.kwj"));
  }
  // Converted, and nothing but the two files beside the victim.
  void ExpectConverted() const {
    EXPECT_EQ(folder.Read("c.KWT"), records140);
    EXPECT_EQ(folder.Read("p.kwj"), project140);
    EXPECT_EQ(folder.Read("victim"), kVictim);
    EXPECT_EQ(folder.Read("TMP.LCK"), kVictim);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder.Path("p.kwj"))));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder.Path("c.KWT"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder.Path("TMP.DAT"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder.Path("p.kwj$$$"))));
  }

  static constexpr std::string_view kVictim = "somebody else's file\n";
  TempFolder folder{NameBytes::Utf8};
  ActingFace face;
  std::string old, records103, records140;
  std::string project0, project103, project140;
};

// Links need a system (and on Windows a privilege) that allows them.
bool TryLink(const std::function<void()>& make) {
  try {
    make();
    return true;
  } catch (const fs::filesystem_error&) {
    return false;
  }
}

TEST(PlantedWorkFiles, AreReplacedNeverWrittenThrough) {
  struct Row {
    const char* name;
    // Plants the file; false when this system cannot.
    std::function<bool(Project&)> plant;
  };
  const auto symlinkTo = [](const char* at, const char* target) {
    return [=](Project& p) {
      return TryLink([&] { fs::create_symlink(p.folder.Path(target), p.folder.Path(at)); });
    };
  };
  const auto hardLinkTo = [](const char* at, const char* target) {
    return [=](Project& p) {
      return TryLink([&] { fs::create_hard_link(p.folder.Path(target), p.folder.Path(at)); });
    };
  };
  const Row rows[] = {
      {"TMP.DAT a larger leftover",
       [](Project& p) {
         p.folder.Write("TMP.DAT", std::string(5000, 'z'));
         return true;
       }},
      {"TMP.DAT hard link to the contents file", hardLinkTo("TMP.DAT", "c.KWT")},
      {"TMP.DAT symbolic link to the contents file", symlinkTo("TMP.DAT", "c.KWT")},
      {"TMP.DAT symbolic link to another file", symlinkTo("TMP.DAT", "victim")},
      {"TMP.DAT dangling symbolic link", symlinkTo("TMP.DAT", "nowhere/none")},
      {"TMP.DAT hard link to another file", hardLinkTo("TMP.DAT", "victim")},
      {"save file symbolic link to the project file", symlinkTo("p.kwj$$$", "p.kwj")},
      {"save file symbolic link to another file", symlinkTo("p.kwj$$$", "victim")},
      {"save file hard link to another file", hardLinkTo("p.kwj$$$", "victim")},
      {"save file dangling symbolic link", symlinkTo("p.kwj$$$", "nowhere/none")},
      {"save file a leftover",
       [](Project& p) {
         p.folder.Write("p.kwj$$$", "[KWJ]\r\nVersion=140\r\n");
         return true;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    if (!row.plant(p)) {
      std::cout << "skipped (no links here): " << row.name << "\n";
      continue;
    }
    p.Convert();
    p.ExpectConverted();
    EXPECT_EQ(p.face.log.back(), Status(texts::kStatusSuccess));
  }
}

#ifndef _WIN32
mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

// The new files take the permissions of the files they replace, never those
// of whatever had their name.
TEST(PlantedWorkFiles, NewFilesTakeTheReplacedFilesPermissions) {
  Project p;
  ::chmod(p.folder.Path("c.KWT").c_str(), 0640);
  ::chmod(p.folder.Path("p.kwj").c_str(), 0600);
  p.folder.Write("TMP.DAT", "planted");
  p.folder.Write("p.kwj$$$", "planted");
  ::chmod(p.folder.Path("TMP.DAT").c_str(), 0666);
  ::chmod(p.folder.Path("p.kwj$$$").c_str(), 0666);
  ASSERT_EQ(::mkfifo(p.folder.Path("pipe").c_str(), 0666), 0);
  p.Convert();
  p.ExpectConverted();
  EXPECT_EQ(ModeOf(p.folder.Path("c.KWT")), 0640u);
  EXPECT_EQ(ModeOf(p.folder.Path("p.kwj")), 0600u);
}

TEST(PlantedWorkFiles, APipeUnderAWorkFileNameIsReplaced) {
  for (const char* name : {"TMP.DAT", "p.kwj$$$"}) {
    SCOPED_TRACE(name);
    Project p;
    ASSERT_EQ(::mkfifo(p.folder.Path(name).c_str(), 0666), 0);
    p.Convert();
    p.ExpectConverted();
  }
}

// Devices, pipes and sockets are refused before anything is shown or made.
TEST(IrregularFiles, AreRefusedAndNothingChanges) {
  struct Row {
    const char* name;
    const char* project;
    std::string contents;  // "" keeps c.KWT
  };
  const Row rows[] = {
      {"contents is a device", "p.kwj", "/dev/zero"},
      {"contents is a pipe", "p.kwj", "pipe"},
      {"project is a pipe", "pipe", ""},
      {"project is a device", "/dev/null", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    ASSERT_EQ(::mkfifo(p.folder.Path("pipe").c_str(), 0666), 0);
    const std::string contents = row.contents.empty()          ? p.Path("c.KWT")
                                 : row.contents.front() == '/' ? row.contents
                                                               : p.Path(row.contents);
    p.folder.Write("p.kwj", Kwj("102", "2147483647", contents));
    p.folder.Backdate();
    const auto before = p.folder.Snapshot();
    const std::string project = row.project[0] == '/' ? std::string(row.project) : p.Path(row.project);
    const auto error = Raised<EConvertError>([&] { Converter(p.face).Convert(project); });
    ASSERT_TRUE(error.has_value());
    const std::string named = std::string_view(row.name).starts_with("contents") ? contents : project;
    EXPECT_EQ(error->Message(), texts::Format(texts::kNotRegularFileFormat, named));
    EXPECT_TRUE(p.folder.Snapshot() == before);
    EXPECT_TRUE(fs::is_fifo(p.folder.Path("pipe")));
  }
}
#endif

#ifndef _WIN32
// A project file swapped for a link while the conversion runs cannot send the
// save to the file the link names: the project is no longer the file that was
// read, so nothing is replaced and the link stays as it was put.
TEST(SwappedFiles, AProjectLinkPutInPlaceMidRunRedirectsNothing) {
  Project p;
  p.face.onStatus = [&](std::string_view text) {
    if (text != Progress(1).substr(2)) return;
    fs::create_symlink(p.folder.Path("victim"), p.folder.Path("link"));
    fs::rename(p.folder.Path("link"), p.folder.Path("p.kwj"));
    p.face.onStatus = nullptr;
  };
  const auto error = Raised<EConvertError>([&] { p.Convert(); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Message(), texts::Format(texts::kProjectChangedFormat, p.Path("p.kwj")));
  EXPECT_EQ(p.folder.Read("victim"), Project::kVictim);
  EXPECT_TRUE(fs::is_symlink(p.folder.Path("p.kwj")));
  EXPECT_EQ(p.folder.Read("c.KWT"), p.old);
  EXPECT_FALSE(p.folder.Exists("TMP.DAT"));
  EXPECT_FALSE(p.folder.Exists("p.kwj$$$"));
}

// A folder link in the contents path pointed elsewhere once the folders are
// held: the work stays in the folder the link named when it was held, and
// nothing in the other folder changes, however the run ends.
TEST(SwappedFiles, AFolderLinkSwappedMidRunLeadsNothingElsewhere) {
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stopped after the swap" : "run to its end");
    Project p;
    std::string others;
    for (int i = 0; i < kRecords; ++i) others += Record102("another project's record " + std::to_string(i));
    others = To103Records(others, kRecords);
    p.folder.Write("A/book.KWT", p.old);
    p.folder.Write("B/book.KWT", others);
    p.folder.Write("B/TMP.DAT", "another conversion's work");
    fs::create_directory_symlink(p.folder.Path("A"), p.folder.Path("cur"));
    const std::string text = Kwj("102", std::to_string(kRecords), p.Path("cur/book.KWT"));
    p.folder.Write("p.kwj", text);
    p.face.onStatus = [&](std::string_view status) {
      if (status != Progress(1).substr(2)) return;
      fs::create_directory_symlink(p.folder.Path("B"), p.folder.Path("next"));
      fs::rename(p.folder.Path("next"), p.folder.Path("cur"));
      p.face.stop = stopped;
      p.face.onStatus = nullptr;
    };
    if (stopped) {
      EXPECT_TRUE(Raised<EInterrupted>([&] { p.Convert(); }).has_value());
    } else {
      p.Convert();
    }
    EXPECT_EQ(p.folder.Read("B/book.KWT"), others);
    EXPECT_EQ(p.folder.Read("B/TMP.DAT"), "another conversion's work");
    EXPECT_EQ(p.folder.Read("A/book.KWT"), stopped ? p.old : p.records140);
    EXPECT_FALSE(p.folder.Exists("A/TMP.DAT"));
    EXPECT_EQ(p.folder.Read("p.kwj"), stopped ? text : StampedProject(StampedProject(text, 103), 140));
  }
}

// What the plan finds out about the contents file, it finds in the held
// folder: a folder link pointed elsewhere after the hold shows it nothing
// else, so converted records there are never taken for unconverted ones.
TEST(SwappedFiles, ThePlanLooksAtTheContentsInTheHeldFolder) {
  Project p;
  p.folder.Write("A/book.KWT", p.records140);
  p.folder.Write("B/book.KWT", p.records103);
  fs::create_directory_symlink(p.folder.Path("A"), p.folder.Path("cur"));
  p.folder.Write("p.kwj", Kwj("103", std::to_string(kRecords), p.Path("cur/book.KWT")));
  TMemIniFile store(p.Path("p.kwj"));
  FolderHolds holds(FolderHolds::Mode::Hold);
  ChosenContents contents;
  contents.path = p.Path("cur/book.KWT");
  ASSERT_FALSE(holds.HoldFolderOf(contents.path));
  fs::create_directory_symlink(p.folder.Path("B"), p.folder.Path("next"));
  fs::rename(p.folder.Path("next"), p.folder.Path("cur"));
  ContentsOwners owners;
  ContentsNotes notes;
  EXPECT_EQ(PassStop(store, PassOf(PassId::To140), contents, holds, owners, notes).cause,
            Cause::AlreadyConverted);
}

// The project file refusing its move after the contents file has moved: the
// new text stays, and the next run finishes from it.
TEST(SwappedFiles, AProjectThatRefusesItsMoveLateIsFinishedByTheNextRun) {
  Project p;
  p.folder.Write("c.KWT", p.records103);
  p.folder.Write("p.kwj", p.project103);
  // Once the contents file has moved, another opener holds the project file.
  struct HoldAfterContentsMove : platform::journal::Observer {
    std::string contents, project;
    int held = -1;
    void Renamed(std::string_view, std::string_view to) override {
      if (to == contents && held < 0) {
        held = ::open(project.c_str(), O_RDONLY);
        ::flock(held, LOCK_EX);
      }
    }
    void Opened(std::string_view, platform::journal::FileId) override {}
    void Written(platform::journal::FileId, std::uint64_t, std::string_view) override {}
    void Truncated(platform::journal::FileId, std::uint64_t) override {}
    void Flushed(platform::journal::FileId) override {}
    void Unlinked(std::string_view) override {}
    void FolderSynced(std::string_view) override {}
    void FileSystemSynced() override {}
  } observer;
  observer.contents = p.folder.Utf8("c.KWT");
  observer.project = p.folder.Utf8("p.kwj");
  platform::journal::SetObserver(&observer);
  const auto error = Raised<EFCreateError>([&] { p.Convert(); });
  platform::journal::SetObserver(nullptr);
  ::close(observer.held);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(p.folder.Read("c.KWT"), p.records140);
  EXPECT_EQ(p.folder.Read("p.kwj"), p.project103);
  EXPECT_EQ(p.folder.Read("p.kwj$$$"), p.project140);
  RecordingFace again;
  Converter(again).Convert(p.Path("p.kwj"));
  EXPECT_EQ(again.log.front(), Status(texts::kStatusResumed));
  p.ExpectConverted();
}

// A saved text that is right to the byte but not the project owner's proves
// nothing: somebody else may have written it.
TEST(StoppedRuns, ASavedTextOfAnotherOwnerIsNotUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
  Project p;
  p.folder.Write("c.KWT", p.records103);
  p.folder.Write("p.kwj$$$", p.project103);
  ASSERT_EQ(::chown(p.folder.Path("p.kwj$$$").c_str(), 12345, 12345), 0);
  p.folder.Backdate();
  const auto before = p.folder.Snapshot();
  const auto error = Raised<EConvertError>([&] { p.Convert(); });
  ASSERT_TRUE(error.has_value());
  EXPECT_TRUE(p.folder.Snapshot() == before);
}
#endif

// The calling thread's id, as /proc names it; 0 where there is none.
long ThreadId() {
#ifdef __linux__
  return ::syscall(SYS_gettid);
#else
  return 0;
#endif
}

// True once the thread sleeps in an open: one that a lease on the file holds
// up until its holder lets go. Where this cannot be known, never.
bool SleepsInOpen(long tid) {
#ifdef __linux__
  const std::string task = "/proc/self/task/" + std::to_string(tid);
  long call = -1;
  std::ifstream(task + "/syscall") >> call;
  std::string stat;
  std::getline(std::ifstream(task + "/stat"), stat);
  const std::size_t state = stat.rfind(')');
  return call == SYS_openat && state != std::string::npos && stat.substr(state + 1, 3) == " S ";
#else
  (void)tid;
  return false;
#endif
}

// Another program writing into the contents file, or putting another file in
// its place, while it converts: the move would lose that, so nothing moves.
TEST(SwappedFiles, ContentsChangedDuringTheConversionAreNotReplaced) {
  // Windows refuses both to writers while the contents file is open.
  if (kWindows) GTEST_SKIP() << "the contents file is open to no writer, and to no move, while it converts";
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "another file put in its place" : "written to in place");
    Project p;
    std::string expected;
    // Another program's write: where the file is watched for writers, its
    // open waits until the conversion lets go of the file.
    std::thread writer;
    std::atomic<long> writerTid{0};
    std::atomic<bool> written{false};
    p.face.onStatus = [&](std::string_view text) {
      if (text != Progress(1).substr(2)) return;
      if (replaced) {
        p.folder.Write("other", p.old);
        fs::rename(p.folder.Path("other"), p.folder.Path("c.KWT"));
      } else {
        writer = std::thread([&p, &writerTid, &written] {
          writerTid = ThreadId();
          std::fstream file(p.folder.Path("c.KWT"), std::ios::in | std::ios::out | std::ios::binary);
          file.seekp(200);
          file.write("edited", 6);
          written = true;
        });
        // The records go on only once the writer's open has reached the file:
        // a thread slow to start would otherwise open it after the pass.
        EXPECT_TRUE(WaitUntil([&] { return written || (writerTid != 0 && SleepsInOpen(writerTid)); },
                              std::chrono::seconds(10)));
      }
      if (replaced) expected = p.folder.Read("c.KWT");
      p.face.onStatus = nullptr;
    };
    const auto error = Raised<EConvertError>([&] { p.Convert(); });
    if (writer.joinable()) {
      writer.join();
      expected = p.folder.Read("c.KWT");
      EXPECT_EQ(expected.substr(200, 6), "edited");
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Message(), texts::Format(texts::kContentsChangedFormat, p.Path("c.KWT")));
    EXPECT_TRUE(p.folder.Read("c.KWT") == expected);
    EXPECT_EQ(p.folder.Read("p.kwj"), p.project0);
    EXPECT_FALSE(p.folder.Exists("TMP.DAT"));
    EXPECT_FALSE(p.folder.Exists("p.kwj$$$"));
  }
}

// Edits to the project file while its contents are converted are the user's:
// the conversion stops before anything is replaced, removes its work files and
// leaves the edit as it was made.
TEST(SwappedFiles, AProjectEditedMidRunIsNeverSavedOver) {
  struct Row {
    const char* name;
    bool beforeReplacing;  // else during the records
    std::function<void(Project&)> edit;
  };
  const auto appendSection = [](Project& p) {
    std::ofstream(p.folder.Path("p.kwj"), std::ios::binary | std::ios::app) << "[Notes]\r\nadded=by hand\r\n";
  };
  const auto renameIntoPlace = [](Project& p) {
    p.folder.Write("new.kwj", p.project0 + "[Notes]\r\nadded=elsewhere\r\n");
    fs::rename(p.folder.Path("new.kwj"), p.folder.Path("p.kwj"));
  };
  const Row rows[] = {
      {"a section appended during the records", false, appendSection},
      {"a new file renamed into place during the records", false, renameIntoPlace},
      {"a section appended just before the replacement", true, appendSection},
      {"a new file renamed into place just before the replacement", true, renameIntoPlace},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    std::string edited;
    const auto edit = [&] {
      row.edit(p);
      edited = p.folder.Read("p.kwj");
    };
    if (row.beforeReplacing) {
      p.face.beforeReplacing = edit;
    } else {
      p.face.onStatus = [&](std::string_view text) {
        if (text != Progress(1).substr(2)) return;
        edit();
        p.face.onStatus = nullptr;
      };
    }
    const auto error = Raised<EConvertError>([&] { p.Convert(); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Message(), texts::Format(texts::kProjectChangedFormat, p.Path("p.kwj")));
    EXPECT_EQ(p.folder.Read("p.kwj"), edited);
    EXPECT_EQ(p.folder.Read("c.KWT"), p.old);
    EXPECT_FALSE(p.folder.Exists("TMP.DAT"));
    EXPECT_FALSE(p.folder.Exists("p.kwj$$$"));
  }
}

#ifndef _WIN32
// An edit made to the project file while the contents file moves into place,
// after every look before it: the edit is kept, and the new version goes into
// the edited text; an edit to what the conversion relied on is kept unstamped.
TEST(SwappedFiles, AProjectEditedAsTheContentsMoveKeepsTheEdit) {
  class EditOnMove : public platform::journal::Observer {
   public:
    explicit EditOnMove(std::function<void()> edit) : edit_(std::move(edit)) {}
    void Opened(std::string_view, platform::journal::FileId) override {}
    void Written(platform::journal::FileId, std::uint64_t, std::string_view) override {}
    void Truncated(platform::journal::FileId, std::uint64_t) override {}
    void Flushed(platform::journal::FileId) override {}
    void Renamed(std::string_view, std::string_view to) override {
      if (to.ends_with("c.KWT") && edit_) std::exchange(edit_, nullptr)();
    }
    void Unlinked(std::string_view) override {}
    void FolderSynced(std::string_view) override {}
    void FileSystemSynced() override {}

   private:
    std::function<void()> edit_;
  };
  struct Row {
    const char* name;
    std::string_view added;
    bool stamped;
  };
  const Row rows[] = {
      {"a section added", "[Notes]\r\nadded=by hand\r\n", true},
      {"Count changed", "[KWJ]\r\nCount=2\r\n", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    std::string edited;
    EditOnMove observer([&] {
      std::ofstream(p.folder.Path("p.kwj"), std::ios::binary | std::ios::app) << row.added;
      edited = p.folder.Read("p.kwj");
    });
    platform::journal::SetObserver(&observer);
    const auto error = Raised<Exception>([&] { p.Convert(); });
    platform::journal::SetObserver(nullptr);
    const std::string now = p.folder.Read("p.kwj");
    if (row.stamped) {
      EXPECT_FALSE(error.has_value());
      EXPECT_EQ(p.folder.Read("c.KWT"), p.records140);
      EXPECT_NE(now.find("Version=140\r\n"), std::string::npos) << now;
      EXPECT_NE(now.find("added=by hand\r\n"), std::string::npos) << now;
    } else {
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->Message(),
                texts::Format(texts::kProjectEditedLateFormat, {p.Path("p.kwj"), "Version=103"}));
      EXPECT_EQ(now, edited);
      EXPECT_EQ(p.folder.Read("c.KWT"), p.records103);
    }
    EXPECT_FALSE(p.folder.Exists("p.kwj$$$"));
  }
}
#endif

// A killed backup run's unfinished copies are taken back by the next run,
// with backups or without; a file under those names that is no such copy
// stays.
TEST(Backups, TheNextRunTakesBackAKilledRunsUnfinishedCopies) {
  struct Row {
    const char* name;
    const char* leftover;
    std::function<std::string(const Project&)> bytes;
    bool takenBack;
  };
  const Row rows[] = {
      {"a stopped copy of the contents", "c.KWT.bak$$$",
       [](const Project& p) { return p.old.substr(0, 500); }, true},
      {"a stopped copy of the project", "p.kwj.bak$$$",
       [](const Project& p) { return p.project0.substr(0, 9); }, true},
      {"an empty one", "c.KWT.bak$$$", [](const Project&) { return std::string(); }, true},
      {"somebody's other file", "c.KWT.bak$$$", [](const Project&) { return std::string("notes\n"); }, false},
  };
  for (const Row& row : rows) {
    for (const bool backup : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (backup ? " with backups" : ""));
      Project p;
      p.folder.Write(row.leftover, row.bytes(p));
      ConversionOptions options;
      options.backup = backup;
      if (!row.takenBack && backup) continue;  // replaced as a work file, as README says
      p.Convert(options);
      EXPECT_EQ(p.folder.Read("c.KWT"), p.records140);
      EXPECT_EQ(p.folder.Exists(row.leftover), !row.takenBack);
    }
  }
}

// Backup names that are the project's own files are refused: the copy's work
// name would be emptied, or the file taken for its own backup.
TEST(Backups, NamesThatAreTheProjectsOwnFilesAreRefused) {
  struct Row {
    const char* name;
    const char* project;
    const char* contents;
  };
  const Row rows[] = {
      {"contents named like the project's backup work file", "p.kwj", "p.kwj.bak$$$"},
      {"contents named like the project's backup", "p.kwj", "p.kwj.bak"},
      {"project named like the contents' backup work file", "c.KWT.bak$$$", "c.KWT"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder{NameBytes::Utf8};
    folder.Write(row.contents, Records102(2));
    folder.Write(row.project, Kwj("102", "2", folder.PathOf(row.contents)));
    folder.Backdate();
    const auto before = folder.Snapshot();
    RecordingFace face;
    const auto error = Raised<Exception>([&] {
      Converter(face, ConversionOptions{std::nullopt, true}).Convert(folder.PathOf(row.project));
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(folder.Snapshot() == before);
  }
}

// A contents path that names a project file (another project's, or this one's
// under another spelling) is refused: its text would be overwritten with
// records. --find-contents never picks one either.
TEST(SecondProject, AProjectFileIsNeverTakenForContents) {
  Project p;
  p.folder.Write("other.kwj", p.project0 + std::string(3000, ';') + "\r\n");
  p.folder.Write("p.kwj", Kwj("102", "3", p.Path("other.kwj")));
  p.folder.Backdate();
  const auto before = p.folder.Snapshot();
  const auto error = Raised<EConvertError>([&] { p.Convert(); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Message(), texts::Format(texts::kContentsIsProjectFormat, p.Path("other.kwj")));
  EXPECT_TRUE(p.folder.Snapshot() == before);

  p.folder.Write("p.kwj", Kwj("102", "3", "D:\\old\\OTHER.KWJ"));
  p.folder.Backdate();
  const auto again = p.folder.Snapshot();
  ConversionOptions find;
  find.contentsBesideProject = true;
  find.findContents = true;
  EXPECT_TRUE(Raised<EInOutError>([&] { p.Convert(find); }).has_value());  // 103: nothing found
  EXPECT_TRUE(p.folder.Snapshot() == again);
}

#ifndef _WIN32
// A project given through a link is converted where its file is: its contents
// beside the real file, not a file of the same name beside the link.
TEST(SwappedFiles, AProjectReachedThroughALinkConvertsItsOwnContents) {
  Project p;
  p.folder.Write("p.kwj", Kwj("102", "3", "c.KWT"));  // relative
  TempFolder elsewhere{NameBytes::Utf8};
  elsewhere.Write("c.KWT", std::string(900, '\0'));  // a decoy beside the link
  fs::create_symlink(p.folder.Path("p.kwj"), elsewhere.Path("link.kwj"));
  const std::string decoy = elsewhere.Read("c.KWT");
  ConversionOptions beside;
  beside.contentsBesideProject = true;
  Converter converter(p.face, beside);
  converter.Convert(elsewhere.PathOf("link.kwj"));
  EXPECT_EQ(p.folder.Read("c.KWT"), p.records140);
  EXPECT_EQ(elsewhere.Read("c.KWT"), decoy);
  EXPECT_NE(p.folder.Read("p.kwj").find("Version=140"), std::string::npos);
}
#endif

// A copy of a project beside the original must not convert, nor read the
// converted records as old ones: refused, naming the original, before and
// after the original converts (which the copy keeps from converting first).
TEST(SecondProject, OnConvertedContentsIsRefused) {
  Project p;
  p.folder.Write("copy.kwj", p.project0);
  const auto shared = [&](const char* project, const char* other) {
    const auto error = Raised<EConvertError>([&] { Converter(p.face).Convert(p.Path(project)); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Message(),
              texts::Format(texts::kSharedContentsFormat, {p.Path("c.KWT"), p.Path(other)}));
  };
  shared("p.kwj", "copy.kwj");
  fs::remove(p.folder.Path("copy.kwj"));
  p.Convert();
  p.ExpectConverted();
  p.folder.Write("copy.kwj", p.project0);
  p.folder.Backdate();
  const auto before = p.folder.Snapshot();
  shared("copy.kwj", "p.kwj");
  EXPECT_TRUE(p.folder.Snapshot() == before);
}

// While one conversion runs, a second of the same project, or of another
// project naming the same contents file, fails at once and changes nothing.
TEST(OneConversionAtATime, SecondFailsAtOnceAndHarmsNeither) {
  struct Row {
    const char* name;
    // The second project's path, written by the row.
    std::function<std::string(Project&, TempFolder&)> second;
    // The file whose folder the refusal names.
    const char* held;
  };
  const Row rows[] = {
      {"the same project", [](Project& p, TempFolder&) { return p.Path("p.kwj"); }, "p.kwj"},
      {"another folder's project on the same contents",
       [](Project& p, TempFolder& elsewhere) {
         elsewhere.Write("q.kwj", p.project0);
         return elsewhere.PathOf("q.kwj");
       },
       "c.KWT"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    TempFolder elsewhere{NameBytes::Utf8};
    const std::string second = row.second(p, elsewhere);
    std::vector<std::string> messages;
    std::optional<std::vector<TempFolder::Entry>> otherBefore;
    p.face.onStatus = [&](std::string_view text) {
      if (text != Progress(1).substr(2)) return;
      otherBefore = elsewhere.Snapshot();
      RecordingFace face;
      const auto error = Raised<EInOutError>([&] { Converter(face).Convert(second); });
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->IoCode(), 32);
      // In the middle of each pass, the contents file is the one it reads.
      EXPECT_TRUE(p.folder.Read("c.KWT") == (messages.empty() ? p.old : p.records103));
      messages.push_back(error->Message());
    };
    p.Convert();
    p.ExpectConverted();
    ASSERT_EQ(messages.size(), 2u);  // once in each pass of the first
    EXPECT_EQ(messages[0], texts::Format(texts::kFolderBusyFormat, p.Path(row.held)));
    EXPECT_TRUE(elsewhere.Snapshot() == *otherBefore);
  }
}

// A run stopped between replacing the contents file and replacing the
// project file is finished by the next one, from the complete new project
// text it left; a text that proves nothing is not used.
TEST(StoppedRuns, FinishFromTheSavedProjectTextOrRefuse) {
  struct Row {
    const char* name;
    std::function<bool(Project&)> leave;  // false: this system cannot
    bool finishes;
    const char* refusalNames;  // the Version named when refused
  };
  const Row rows[] = {
      {"first pass replaced the contents",
       [](Project& p) {
         p.folder.Write("c.KWT", p.records103);
         p.folder.Write("p.kwj$$$", p.project103);
         return true;
       },
       true, ""},
      {"second pass replaced the contents",
       [](Project& p) {
         p.folder.Write("p.kwj", p.project103);
         p.folder.Write("c.KWT", p.records140);
         p.folder.Write("p.kwj$$$", p.project140);
         return true;
       },
       true, ""},
      {"saved text cut short",
       [](Project& p) {
         p.folder.Write("c.KWT", p.records103);
         p.folder.Write("p.kwj$$$", p.project103.substr(0, p.project103.size() / 2));
         return true;
       },
       false, "103"},
      {"saved text differs in more than the Version",
       [](Project& p) {
         p.folder.Write("c.KWT", p.records103);
         p.folder.Write("p.kwj$$$", p.project103 + "[More]\r\nkey=1\r\n\r\n");
         return true;
       },
       false, "103"},
      {"saved text names a version the contents do not have",
       [](Project& p) {
         p.folder.Write("c.KWT", p.records103);
         p.folder.Write("p.kwj$$$", p.project140);
         return true;
       },
       false, "103"},
      {"saved text is a link to the right text",
       [](Project& p) {
         p.folder.Write("c.KWT", p.records103);
         p.folder.Write("elsewhere", p.project103);
         return TryLink([&] { fs::create_symlink(p.folder.Path("elsewhere"), p.folder.Path("p.kwj$$$")); });
       },
       false, "103"},
      {"contents not replaced yet",
       [](Project& p) {
         p.folder.Write("p.kwj$$$", p.project103);
         return true;
       },
       true, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    if (!row.leave(p)) {
      std::cout << "skipped (no links here): " << row.name << "\n";
      continue;
    }
    if (row.finishes) {
      p.Convert();
      p.ExpectConverted();
      EXPECT_EQ(p.face.log.back(), Status(texts::kStatusSuccess));
      const bool resumed = p.face.log.front() == Status(texts::kStatusResumed);
      EXPECT_EQ(resumed, std::string_view(row.name) != "contents not replaced yet");
      continue;
    }
    p.folder.Backdate();
    const auto before = p.folder.Snapshot();
    const auto error = Raised<EConvertError>([&] { p.Convert(); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Message(),
              texts::Format(texts::kAlreadyConvertedFormat, {p.Path("c.KWT"), row.refusalNames}));
    EXPECT_TRUE(p.folder.Snapshot() == before);
  }
}

// A face that asks to stop when a given status is shown.
class StoppingFace : public RecordingFace {
 public:
  explicit StoppingFace(std::string at, int occurrence = 1) : at_(std::move(at)), left_(occurrence) {}
  void SetStatus(std::string_view text) override {
    RecordingFace::SetStatus(text);
    if ("S:" + std::string(text) == at_ && --left_ == 0) stop_ = true;
  }
  bool StopRequested() override { return stop_; }

 private:
  std::string at_;
  int left_;
  bool stop_ = false;
};

// A stop request ends the pass at the next record or before the files are
// replaced: our temporary file is removed, the project stays as the last
// completed pass left it.
TEST(Interruption, StopsAtARecordAndUndoesThePass) {
  struct Row {
    const char* name;
    std::string at;
    int occurrence;
    bool firstPassDone;
  };
  const Row rows[] = {
      {"first record shown", Progress(0), 1, false},
      {"in the middle", Progress(1), 1, false},
      {"before the first replacement", Status(texts::kStatusFinishing), 1, false},
      {"in the second pass", Progress(0), 2, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    StoppingFace face(row.at, row.occurrence);
    const auto error = Raised<EInterrupted>([&] { Converter(face).Convert(p.Path("p.kwj")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Message(), texts::kInterrupted);
    EXPECT_EQ(p.folder.Read("c.KWT"), row.firstPassDone ? p.records103 : p.old);
    EXPECT_EQ(p.folder.Read("p.kwj"), row.firstPassDone ? p.project103 : p.project0);
    EXPECT_FALSE(p.folder.Exists("TMP.DAT"));
    EXPECT_FALSE(p.folder.Exists("p.kwj$$$"));
  }
}

// Backups are the project as it was; a run started again after a stop keeps
// them, and a backup that is neither is refused.
TEST(Backups, KeepTheOriginalAcrossStoppedRuns) {
  struct Row {
    const char* name;
    std::function<bool(Project&)> before;
    bool converts;
  };
  const auto originals = [](Project& p) {
    p.folder.Write("p.kwj.bak", p.project0);
    p.folder.Write("c.KWT.bak", p.old);
  };
  const Row rows[] = {
      {"none yet", [](Project&) { return true; }, true},
      {"identical ones",
       [&](Project& p) {
         originals(p);
         return true;
       },
       true},
      {"one made before a stop",
       [](Project& p) {
         p.folder.Write("p.kwj.bak", p.project0);
         p.folder.Write("c.KWT.bak$$$", "half a copy");
         return true;
       },
       true},
      {"the originals after the first pass",
       [&](Project& p) {
         originals(p);
         p.folder.Write("p.kwj", p.project103);
         p.folder.Write("c.KWT", p.records103);
         return true;
       },
       true},
      {"a stranger of the original's size after the first pass",
       [&](Project& p) {
         originals(p);
         p.folder.Write("c.KWT.bak", std::string(p.old.size(), 'x'));
         p.folder.Write("p.kwj", p.project103);
         p.folder.Write("c.KWT", p.records103);
         return true;
       },
       false},
      {"a different one",
       [](Project& p) {
         p.folder.Write("c.KWT.bak", "other");
         return true;
       },
       false},
      {"a link to another file",
       [](Project& p) {
         return TryLink([&] { fs::create_symlink(p.folder.Path("victim"), p.folder.Path("c.KWT.bak")); });
       },
       false},
      {"a link to the file itself",
       [](Project& p) {
         return TryLink([&] { fs::create_symlink(p.folder.Path("c.KWT"), p.folder.Path("c.KWT.bak")); });
       },
       false},
      {"a second name of the file itself",
       [](Project& p) {
         return TryLink([&] { fs::create_hard_link(p.folder.Path("p.kwj"), p.folder.Path("p.kwj.bak")); });
       },
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Project p;
    if (!row.before(p)) {
      std::cout << "skipped (no links here): " << row.name << "\n";
      continue;
    }
    if (row.converts) {
      p.Convert(ConversionOptions{std::nullopt, true});
      p.ExpectConverted();
      EXPECT_EQ(p.folder.Read("p.kwj.bak"), p.project0);
      EXPECT_EQ(p.folder.Read("c.KWT.bak"), p.old);
      EXPECT_FALSE(p.folder.Exists("c.KWT.bak$$$"));
      EXPECT_FALSE(p.folder.Exists("p.kwj.bak$$$"));
      continue;
    }
    p.folder.Backdate();
    const auto before = p.folder.Snapshot();
    const auto error = Raised<Exception>([&] { p.Convert(ConversionOptions{std::nullopt, true}); });
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->Message().find("exists already"), std::string::npos) << error->Message();
    EXPECT_TRUE(p.folder.Snapshot() == before);
    EXPECT_EQ(p.folder.Read("victim"), Project::kVictim);
  }
}

}  // namespace
}  // namespace kwt::testing
