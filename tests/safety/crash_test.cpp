// A two-pass conversion killed at every file-system call it makes, one call at
// a time, under strace, with and without backups: after each kill the folder
// must still hold the user's records (the contents file old or completely new,
// the project file whole and at most one pass behind it), and a second run, as
// the user would start it, must finish the conversion by itself. A restore of
// the converted project from its backups is killed the same way: the files
// are each old or new, never new records behind the old Version's project
// file, and a second restore finishes it. POSIX only: strace is a Linux tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "runtime/texts.h"
#include "safety/safety_test_support.h"

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

// Every call that touches a file or a descriptor of one. A '?' lets strace pass
// over names that this machine's system does not have.
constexpr std::string_view kFileCalls[] = {
    "open",      "openat",    "openat2", "creat",      "read",      "pread64",         "readv",
    "write",     "pwrite64",  "writev",  "fsync",      "fdatasync", "sync_file_range", "rename",
    "renameat",  "renameat2", "unlink",  "unlinkat",   "close",     "flock",           "fcntl",
    "ftruncate", "truncate",  "fstat",   "newfstatat", "stat",      "lstat",           "statx",
    "lseek",     "link",      "linkat",  "mkdir",      "access",    "faccessat",       "faccessat2",
    "readlink",  "getdents64"};

constexpr int kRecords = 3;

std::string FileCallSet() {
  std::string set;
  for (const std::string_view call : kFileCalls) {
    if (!set.empty()) set += ',';
    set += '?';
    set += call;
  }
  return set;
}

std::string FindStrace() {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const fs::path candidate = fs::path(folder.empty() ? "." : folder) / "strace";
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate.string();
  }
  return {};
}

// One call of the counted run where a kill is tried: the call's name, which
// call of that name it is (from 1), and how strace showed it.
struct KillPoint {
  std::string call;
  int ordinal = 0;
  std::string shown;
};

// The call as strace shows it on entry, without what only its end reveals:
// the name and first argument, and the second when the first is AT_FDCWD. A
// descriptor's number is left out: a test thread's file that is open while
// another thread starts a run can reach that run and shift its numbers.
std::string Head(std::string_view line) {
  std::size_t end = line.find(", ");
  if (end != std::string_view::npos && line.substr(0, end).ends_with("(AT_FDCWD")) {
    end = line.find(", ", end + 2);
  }
  if (end == std::string_view::npos) end = line.find(')');
  std::string head(line.substr(0, end));
  const std::size_t open = head.find('(');
  if (open != std::string::npos && head.find_first_not_of("0123456789", open + 1) == std::string::npos) {
    head.erase(open + 1);
  }
  return head;
}

// The calls of an strace log, without the process numbers and the lines that
// report signals and exits.
std::vector<std::string> Calls(const fs::path& log) {
  std::ifstream in(log);
  std::vector<std::string> calls;
  std::string line;
  while (std::getline(in, line)) {
    std::size_t at = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
    while (at < line.size() && line[at] == ' ') ++at;
    const std::string_view call = std::string_view(line).substr(at);
    if (call.empty() || call.starts_with("+++") || call.starts_with("---")) continue;
    calls.emplace_back(call);
  }
  return calls;
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The folder as strace shows it, without a closing separator.
std::string FolderText(const TempFolder& folder) {
  std::string text = folder.Utf8("");
  while (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}

// The project and what each of its files may hold, in one folder of its own.
struct Project {
  explicit Project(const TempFolder& where) : folder(where) {
    path = folder.Utf8("book.kwj");
    contents = folder.PathOf("book.KWT");
    for (int i = 0; i < kRecords; ++i) {
      const std::string n = std::to_string(i);
      contents0 +=
          Record102("title " + n, "body of record " + n, "note " + n, static_cast<std::uint8_t>(i + 1));
    }
    contents1 = To103Records(contents0, kRecords);
    contents2 = To140Records(contents1, kRecords);
    project0 = "; written by hand\r\n[KWJ]\r\n  Version = 102\r\nCount=" + std::to_string(kRecords) +
               "\r\nKWT=" + contents + "\r\n\r\n[Notes]\r\nkeep=me\r\n";
    project1 = StampedProject(project0, 103);
    project2 = StampedProject(project1, 140);
  }

  // Back to the unconverted project, dated in the past so that any rewrite
  // shows; or to the converted one beside its backups, for a restore.
  void Reset(bool converted = false) const {
    for (const auto& entry : fs::directory_iterator(folder.Path(""))) fs::remove_all(entry.path());
    folder.Write("book.kwj", converted ? project2 : project0);
    folder.Write("book.KWT", converted ? contents2 : contents0);
    if (converted) {
      folder.Write("book.kwj.bak", project0);
      folder.Write("book.KWT.bak", contents0);
    }
    folder.Backdate();
  }

  const TempFolder& folder;
  std::string path;
  std::string contents;
  std::string contents0, contents1, contents2;
  std::string project0, project1, project2;
};

enum class Afterwards { Finished, FinishedFromSavedText, AlreadyDone };

// What is killed: a conversion, one with --backup, or a restore.
enum class Run { Convert, ConvertWithBackups, Restore };

struct Tally {
  std::mutex lock;
  int tried = 0;
  int survived = 0;
  std::map<Afterwards, int> outcomes;
  std::vector<std::string> failures;
};

class Harness {
 public:
  Harness(std::string strace, Run run)
      : strace_(std::move(strace)), backup_(run != Run::Convert), restore_(run == Run::Restore) {}

  // kwtconv's own options: quiet, and --backup or --restore when asked.
  std::vector<std::string> KwtconvOptions() const {
    std::vector<std::string> options{"-q"};
    if (backup_) options.push_back(restore_ ? "--restore" : "--backup");
    return options;
  }

  bool Restores() const { return restore_; }

  ProcessResult Traced(const std::vector<std::string>& options, const std::string& project) const {
    std::vector<std::string> arguments{"-f", "-qq", "-E", "ASAN_OPTIONS=detect_leaks=0"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(KWT_KWTCONV_PATH);
    for (const std::string& option : KwtconvOptions()) arguments.push_back(option);
    arguments.push_back(project);
    return RunProcess(strace_, arguments);
  }

  bool IsWorkFile(const std::string& name) const {
    static const std::string kAlways[] = {"book.kwj",    "book.KWT", "TMP.DAT",
                                          "book.kwj$$$", "TMP.TRY",  "TMP.TRY$$$"};
    static const std::string kBackups[] = {"book.kwj.bak", "book.KWT.bak", "book.kwj.bak$$$",
                                           "book.KWT.bak$$$"};
    for (const std::string& known : kAlways) {
      if (name == known) return true;
    }
    for (const std::string& known : kBackups) {
      if (backup_ && name == known) return true;
    }
    return false;
  }

  // Kills the conversion at point, checks what it left, runs it again and
  // checks that. Returns what went wrong, or nothing.
  std::vector<std::string> Try(const Project& p, const KillPoint& point, const fs::path& log,
                               Afterwards& afterwards) const {
    std::vector<std::string> wrong;
    p.Reset(restore_);
    const ProcessResult killed =
        Traced({"-o", log.string(), "-e", "trace=" + point.call, "-e",
                "inject=" + point.call + ":signal=SIGKILL:when=" + std::to_string(point.ordinal)},
               p.path);
    if (killed.exitCode != -1) {
      wrong.push_back("not killed (exit " + std::to_string(killed.exitCode) + ", " + killed.err + ")");
      return wrong;
    }
    const std::vector<std::string> calls = Calls(log);
    const std::string where = FolderText(p.folder);
    if (calls.empty() || Head(Replaced(calls.back(), where, "<folder>")) != Head(point.shown)) {
      wrong.push_back("killed elsewhere: " + (calls.empty() ? std::string("nowhere") : calls.back()));
    }
    if (restore_) {
      CheckRestore(p, wrong, afterwards);
      return wrong;
    }

    // What the kill left: whole files, and a contents file that is old only
    // behind an old version stamp.
    const auto before = p.folder.Snapshot();
    const std::string project = p.folder.Exists("book.kwj") ? p.folder.Read("book.kwj") : "<missing>";
    const std::string contents = p.folder.Exists("book.KWT") ? p.folder.Read("book.KWT") : "<missing>";
    const int stage = project == p.project0 ? 0 : project == p.project1 ? 1 : project == p.project2 ? 2 : -1;
    const int layout = contents == p.contents0   ? 0
                       : contents == p.contents1 ? 1
                       : contents == p.contents2 ? 2
                                                 : -1;
    if (stage < 0)
      wrong.push_back("project file is neither old nor completely new: " + project.substr(0, 200));
    if (layout < 0) {
      wrong.push_back(p.folder.Exists("book.KWT") ? "contents file is neither old nor completely new (" +
                                                        std::to_string(contents.size()) + " bytes)"
                                                  : "contents file is gone");
    }
    if (stage >= 0 && layout >= 0 && layout != stage && layout != stage + 1) {
      wrong.push_back("contents of pass " + std::to_string(layout) + " behind project of pass " +
                      std::to_string(stage));
    }
    for (const auto& entry : before) {
      if (!IsWorkFile(entry.name)) wrong.push_back("stray file " + entry.name);
    }
    // A backup is whole or missing, and always the project as it was.
    for (const auto& [name, original] :
         {std::pair{"book.kwj.bak", &p.project0}, {"book.KWT.bak", &p.contents0}}) {
      if (p.folder.Exists(name) && p.folder.Read(name) != *original)
        wrong.push_back(std::string(name) + " is not the original");
    }
    if (!wrong.empty()) return wrong;

    // A second run, as the user would start it, finishes in every case.
    std::vector<std::string> arguments = KwtconvOptions();
    arguments.push_back(p.path);
    const ProcessResult again = Kwtconv(arguments);
    afterwards = layout == stage + 1 ? Afterwards::FinishedFromSavedText
                 : stage == 2        ? Afterwards::AlreadyDone
                                     : Afterwards::Finished;
    if (again.exitCode != 0 || !again.err.empty()) {
      wrong.push_back("second run failed: exit " + std::to_string(again.exitCode) + ", " + again.err);
    }
    if (p.folder.Read("book.kwj") != p.project2) wrong.push_back("second run left the project unstamped");
    if (p.folder.Read("book.KWT") != p.contents2) wrong.push_back("second run left wrong records");
    // With backups, the second run keeps or makes both, as copies of the
    // original, unless the first run had already finished before making any.
    std::size_t expected = 2;
    if (backup_ && stage != 2) {
      expected = 4;
      if (!p.folder.Exists("book.kwj.bak") || p.folder.Read("book.kwj.bak") != p.project0 ||
          !p.folder.Exists("book.KWT.bak") || p.folder.Read("book.KWT.bak") != p.contents0) {
        wrong.push_back("second run left no backups of the original");
      }
    }
    const auto after = p.folder.Snapshot();
    if (after.size() != expected && !(backup_ && stage == 2 && after.size() == 4)) {
      std::string names;
      for (const auto& entry : after) names += " " + entry.name;
      wrong.push_back("files left behind:" + names);
    }
    return wrong;
  }

 private:
  // What a killed restore left, and what a second restore makes of it.
  void CheckRestore(const Project& p, std::vector<std::string>& wrong, Afterwards& afterwards) const {
    const auto state = [&p](const char* name, const std::string& old, const std::string& converted) {
      if (!p.folder.Exists(name)) return -1;
      const std::string bytes = p.folder.Read(name);
      return bytes == old ? 0 : bytes == converted ? 2 : -1;
    };
    const int project = state("book.kwj", p.project0, p.project2);
    const int contents = state("book.KWT", p.contents0, p.contents2);
    if (project < 0) wrong.push_back("project file is neither the backup nor the converted one");
    if (contents < 0) wrong.push_back("contents file is neither the backup nor the converted one");
    if (project == 2 && contents == 0) wrong.push_back("old records behind the converted project file");
    for (const auto& entry : p.folder.Snapshot()) {
      if (!IsWorkFile(entry.name)) wrong.push_back("stray file " + entry.name);
    }
    if (p.folder.Read("book.kwj.bak") != p.project0 || p.folder.Read("book.KWT.bak") != p.contents0)
      wrong.push_back("a backup changed");
    if (!wrong.empty()) return;
    afterwards = project == 2    ? Afterwards::Finished
                 : contents == 2 ? Afterwards::FinishedFromSavedText
                                 : Afterwards::AlreadyDone;
    const ProcessResult again = Kwtconv({"-q", "--restore", p.path});
    if (again.exitCode != 0 || !again.err.empty()) {
      wrong.push_back("second restore failed: exit " + std::to_string(again.exitCode) + ", " + again.err);
    }
    if (p.folder.Read("book.kwj") != p.project0 || p.folder.Read("book.KWT") != p.contents0)
      wrong.push_back("second restore left the converted files");
    if (p.folder.Snapshot().size() != 4) wrong.push_back("files left behind by the second restore");
  }

  std::string strace_;
  bool backup_;
  bool restore_;
};

void KillAtEveryFileCall(Run run) {
  const std::string strace = FindStrace();
  if (strace.empty()) GTEST_SKIP() << "strace is not installed; scripts/test installs it";
  const Harness harness(strace, run);
  TempFolder probeFolder{NameBytes::Utf8};
  if (harness.Traced({"-o", "/dev/null"}, probeFolder.Utf8("none.kwj")).exitCode != 1) {
    GTEST_SKIP() << "strace cannot trace here (ptrace is not allowed)";
  }

  // The counted run: a complete conversion, traced.
  TempFolder logs{NameBytes::Utf8};
  TempFolder countFolder{NameBytes::Utf8};
  const Project counted(countFolder);
  counted.Reset(harness.Restores());
  const ProcessResult traced =
      harness.Traced({"-o", logs.Utf8("count.log"), "-e", "trace=" + FileCallSet()}, counted.path);
  ASSERT_EQ(traced.exitCode, 0) << traced.err;
  ASSERT_EQ(countFolder.Read("book.kwj"), harness.Restores() ? counted.project0 : counted.project2);
  ASSERT_EQ(countFolder.Read("book.KWT"), harness.Restores() ? counted.contents0 : counted.contents2);

  // From the first call that touches the project's folder on, every call is a
  // kill point; before it the program is only starting.
  const std::string where = FolderText(countFolder);
  std::vector<KillPoint> points;
  std::map<std::string, int> seen;
  bool started = false;
  for (const std::string& call : Calls(logs.Path("count.log"))) {
    const std::string name = call.substr(0, call.find('('));
    const int ordinal = ++seen[name];
    started = started || call.find(where) != std::string::npos;
    if (started) points.push_back({name, ordinal, Replaced(call, where, "<folder>")});
  }
  ASSERT_GT(points.size(), 40u) << "the traced run made too few calls to be the conversion or restore";

  Tally tally;
  const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      TempFolder own{NameBytes::Utf8};
      const Project project(own);
      const fs::path log = logs.Path("kill-" + std::to_string(w) + ".log");
      for (std::size_t i = w; i < points.size(); i += workers) {
        Afterwards afterwards = Afterwards::Finished;
        const std::vector<std::string> wrong = harness.Try(project, points[i], log, afterwards);
        const std::lock_guard<std::mutex> hold(tally.lock);
        ++tally.tried;
        if (wrong.empty()) {
          ++tally.survived;
          ++tally.outcomes[afterwards];
        }
        for (const std::string& what : wrong) {
          tally.failures.push_back("kill at " + points[i].call + " #" + std::to_string(points[i].ordinal) +
                                   " (" + points[i].shown + "): " + what);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  const char* runs[] = {"", "with --backup: ", "--restore: "};
  std::cout << runs[static_cast<int>(run)] << "kill points tried: " << tally.tried
            << ", survived: " << tally.survived << "; second run finished the "
            << (run == Run::Restore ? "restore" : "conversion") << " after "
            << tally.outcomes[Afterwards::Finished]
            << (run == Run::Restore ? ", finished the contents file after the project file's after "
                                    : ", finished it from the saved project text after ")
            << tally.outcomes[Afterwards::FinishedFromSavedText] << ", found it complete after "
            << tally.outcomes[Afterwards::AlreadyDone]
            << "; states needing the user: " << tally.tried - tally.survived << "\n";
  ::testing::Test::RecordProperty("kill_points", tally.tried);
  ::testing::Test::RecordProperty("survived", tally.survived);
  EXPECT_EQ(tally.tried, static_cast<int>(points.size()));
  EXPECT_EQ(tally.survived, tally.tried);
  std::sort(tally.failures.begin(), tally.failures.end());
  for (std::size_t i = 0; i < std::min<std::size_t>(tally.failures.size(), 30); ++i) {
    ADD_FAILURE() << tally.failures[i];
  }
  // Both kinds of second run happened: the kills reached both sides of each
  // replacement.
  EXPECT_GT(tally.outcomes[Afterwards::FinishedFromSavedText], 0);
  EXPECT_GT(tally.outcomes[Afterwards::Finished], 0);
}

TEST(CrashConsistency, KillAtEveryFileCallKeepsRecordsAndProject) {
  KillAtEveryFileCall(Run::Convert);
}

TEST(CrashConsistency, KillAtEveryFileCallWithBackupsKeepsTheOriginal) {
  KillAtEveryFileCall(Run::ConvertWithBackups);
}

// For a restore, "from the saved text" counts the kills after the project
// file was put back, which the second restore finished with the contents.
TEST(CrashConsistency, KillAtEveryFileCallOfARestoreIsFinishedByTheNext) {
  KillAtEveryFileCall(Run::Restore);
}

}  // namespace
}  // namespace kwt::testing
