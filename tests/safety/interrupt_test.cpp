// kwtconv stopped by a signal in the middle of a pass: it finishes the record
// at hand, removes its temporary file, leaves the project as it was, says so
// in one line and ends with 130. POSIX only: the signals are POSIX's.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "runtime/texts.h"
#include "safety/safety_test_support.h"

namespace kwt::testing {
namespace {

struct Stopped {
  int exitCode = -1;
  std::string err;
};

// Runs kwtconv --trace on project and sends signal once the trace shows the
// record after `record`, then reads the rest and waits.
Stopped RunAndStop(const std::string& project, int signal, int record) {
  int out[2];
  int err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::close(out[0]);
    ::close(err[0]);
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execl(KWT_KWTCONV_PATH, KWT_KWTCONV_PATH, "--trace", project.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  const std::string mark = Utf8(std::string(texts::kStatusProgressPrefix) + std::to_string(record + 1) +
                                std::string(texts::kStatusProgressSuffix));
  std::string seen;
  bool sent = false;
  char buffer[4096];
  for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    seen.append(buffer, static_cast<std::size_t>(got));
    if (!sent && seen.find(mark) != std::string::npos) {
      ::kill(child, signal);
      sent = true;
    }
  }
  Stopped result;
  for (ssize_t got; (got = ::read(err[0], buffer, sizeof buffer)) > 0;) {
    result.err.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  if (!sent) result.err = "never reached the record: " + result.err;
  return result;
}

TEST(Interruption, SignalsStopKwtconvAtARecordAndUndoThePass) {
  constexpr int kRecords = 3000;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempFolder folder{NameBytes::Utf8};
    folder.Write("book.KWT", Records102(kRecords));
    folder.Write("book.kwj", ProjectText("102", std::to_string(kRecords), folder.PathOf("book.KWT")));
    folder.Backdate();
    const auto before = folder.Snapshot();
    const Stopped stopped = RunAndStop(folder.Utf8("book.kwj"), signal, 10);
    EXPECT_EQ(stopped.exitCode, 130) << stopped.err;
    EXPECT_EQ(stopped.err, ErrorLine(folder.Utf8("book.kwj"), texts::kInterrupted));
    EXPECT_TRUE(folder.Snapshot() == before);
  }
}

}  // namespace
}  // namespace kwt::testing
