// --backup with something already under a backup's name that is no backup.
// POSIX only: symbolic links and pipes.
//
// Both tests are disabled while they fail:
// - A symbolic link that reaches the very file it should back up has that
//   file's bytes, so BackUpProject (SameBytes, which follows the link) keeps it
//   as a finished backup; the conversion then replaces the file, and the link
//   shows the new bytes: no copy of the original is left.
// - A pipe under a backup's name is not Missing, so SameBytes opens it for
//   reading, which waits for a writer that never comes; the conversion hangs
//   before it changes anything, and Ctrl+C or SIGTERM only sets the stop flag
//   that the passes look at between records.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "convert/conversion.h"
#include "kit/quiet_face.h"
#include "runtime/errors.h"
#include "runtime/path_shortening.h"
#include "safety/safety_test_support.h"

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

TEST(BackupNames, LinkToTheFileItselfIsNoBackup) {
  struct Case {
    const char* name;
    const char* link;
    const char* target;
  };
  for (const Case& c : {Case{"contents backup links to the contents file", "book.KWT.bak", "book.KWT"},
                        Case{"project backup links to the project file", "book.kwj.bak", "book.kwj"}}) {
    SCOPED_TRACE(c.name);
    TempFolder folder{NameBytes::Utf8};
    const std::string records = Records102(3);
    const std::string project = Kwj("102", "3", folder.PathOf("book.KWT"));
    folder.Write("book.kwj", project);
    folder.Write("book.KWT", records);
    fs::create_symlink(folder.Path(c.target), folder.Path(c.link));

    const ProcessResult run = Kwtconv({"-q", "--backup", folder.Utf8("book.kwj")});
    if (run.exitCode != 0) {
      EXPECT_EQ(folder.Read("book.kwj"), project);
      EXPECT_EQ(folder.Read("book.KWT"), records);
      continue;
    }
    EXPECT_TRUE(folder.Read("book.KWT") == To140Records(To103Records(records, 3), 3))
        << "records not converted";
    EXPECT_TRUE(folder.Read("book.kwj.bak") == project) << "book.kwj.bak is no copy of the original project";
    EXPECT_TRUE(folder.Read("book.KWT.bak") == records) << "book.KWT.bak is no copy of the original records";
  }
}

// In this process, so that a conversion stuck in opening the pipe can be let
// go: after the wait, the test opens the pipe's other end itself.
TEST(BackupNames, PipeUnderABackupNameIsRefusedAtOnce) {
  for (const char* backup : {"book.kwj.bak", "book.KWT.bak"}) {
    SCOPED_TRACE(backup);
    TempFolder folder{NameBytes::Utf8};
    const std::string records = Records102(3);
    const std::string project = Kwj("102", "3", folder.PathOf("book.KWT"));
    folder.Write("book.kwj", project);
    folder.Write("book.KWT", records);
    const fs::path pipe = folder.Path(backup);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    std::promise<bool> refused;
    std::future<bool> outcome = refused.get_future();
    std::thread run([&] {
      QuietFace face;
      Converter converter(face, {.contentsPath = std::nullopt, .backup = true});
      try {
        converter.Convert(folder.PathOf("book.kwj"));
        refused.set_value(false);
      } catch (const Exception&) {
        refused.set_value(true);
      }
    });
    const bool waited = outcome.wait_for(std::chrono::seconds(5)) == std::future_status::timeout;
    if (waited) {
      // The writer that the stuck open waits for; it leaves at once.
      const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
    }
    run.join();
    EXPECT_FALSE(waited) << "the conversion waited on the pipe " << backup;
    EXPECT_TRUE(outcome.get()) << "a pipe under a backup's name was taken for a backup";
    EXPECT_EQ(folder.Read("book.kwj"), project);
    EXPECT_TRUE(folder.Read("book.KWT") == records) << "records changed";
  }
}

}  // namespace
}  // namespace kwt::testing
