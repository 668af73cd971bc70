// Two kwtconv processes started at the same moment on one project, and on two
// project files (in one folder or in two) that name the same contents file,
// many times over. After each
// pair the contents file holds the old records or the converted ones behind a
// project at their version, at most one process did the conversion, the other
// failed with a message (exit 1) or found it done, and the folder holds the
// user's files only. KWT_RACE_PAIRS sets the pairs per case (default 100).
// POSIX only: the processes are forked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <latch>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runtime/texts.h"
#include "safety/safety_test_support.h"

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 4;
constexpr int kDefaultPairs = 100;

int Pairs() {
  const char* text = std::getenv("KWT_RACE_PAIRS");
  if (text == nullptr || *text == '\0') return kDefaultPairs;
  const int pairs = std::atoi(text);
  return pairs > 0 ? pairs : kDefaultPairs;
}

struct RaceCase {
  const char* name;
  // The project files each process converts (the same one, or two naming
  // one contents file).
  const char* first;
  const char* second;
};

struct Tally {
  int pairs = 0;
  int convertedAndDone = 0;     // one converted, the other found it done
  int convertedAndRefused = 0;  // one converted, the other failed with a message
  int neitherConverted = 0;     // both failed; nothing changed
  int corrupt = 0;              // records lost, mixed, or behind the wrong version
  int twoConversions = 0;
  int strayFiles = 0;
  int dishonest = 0;  // an exit or message that does not match the files
  std::vector<std::string> faults;
};

class Race {
 public:
  explicit Race(const RaceCase& race) : race_(race) {
    for (int i = 0; i < kRecords; ++i) {
      records_[0] += Record102("title " + std::to_string(i), "body " + std::to_string(i));
    }
    records_[1] = To103Records(records_[0], kRecords);
    records_[2] = To140Records(records_[1], kRecords);
    project_[0] = Kwj("102", std::to_string(kRecords), folder_.PathOf("book.KWT"));
    project_[1] = StampedProject(project_[0], 103);
    project_[2] = StampedProject(project_[1], 140);
    for (const char* name : {race.first, race.second}) projects_.insert(name);
  }

  void Run(Tally& tally) {
    for (const auto& entry : fs::directory_iterator(folder_.Path(""))) fs::remove_all(entry.path());
    for (const std::string& name : projects_) folder_.Write(name, project_[0]);
    folder_.Write("book.KWT", records_[0]);

    // Both threads wait at the latch, so the two forks follow each other at once.
    ProcessResult results[2];
    std::latch start(2);
    std::thread threads[2];
    const std::string paths[2] = {folder_.Utf8(race_.first), folder_.Utf8(race_.second)};
    for (int i = 0; i < 2; ++i) {
      threads[i] = std::thread([&, i] {
        start.arrive_and_wait();
        results[i] = Kwtconv({paths[i]});
      });
    }
    for (std::thread& thread : threads) thread.join();
    Judge(results, paths, tally);
  }

 private:
  void Judge(const ProcessResult (&results)[2], const std::string (&paths)[2], Tally& tally) {
    ++tally.pairs;
    const std::string where = "pair " + std::to_string(tally.pairs) + ": ";
    const auto fault = [&](int& count, const std::string& what) {
      ++count;
      if (tally.faults.size() < 20) {
        tally.faults.push_back(where + what + " (exits " + std::to_string(results[0].exitCode) + ", " +
                               std::to_string(results[1].exitCode) + "; " + results[0].err + results[1].err +
                               ")");
      }
    };

    const std::map<std::string, std::string> files = Files();
    std::set<std::string> expected = projects_;
    expected.insert("book.KWT");
    for (const auto& [name, bytes] : files) {
      if (!expected.contains(name)) fault(tally.strayFiles, "left " + name + " behind");
    }
    const auto stageOf = [&](const std::string& name, const std::string(&stages)[3]) {
      const auto at = files.find(name);
      for (int i = 0; at != files.end() && i < 3; ++i) {
        if (at->second == stages[i]) return i;
      }
      return -1;
    };
    const int layout = stageOf("book.KWT", records_);
    bool matched = false;
    bool behind = false;
    for (const std::string& name : projects_) {
      const int stage = stageOf(name, project_);
      matched = matched || (stage >= 0 && stage == layout);
      behind = behind || stage < 0 || stage > layout;
    }
    if (layout < 0 || !matched || behind) {
      fault(tally.corrupt,
            layout < 0 ? "the records are broken" : "the records do not match any project's version");
      return;
    }

    // Who did what, by exit status and the status line.
    const std::string success = ": " + Utf8(texts::kStatusSuccess) + "\n";
    const std::string done = ": " + Utf8(texts::kStatusUpToDate) + "\n";
    int converted = 0;
    int foundDone = 0;
    int failed = 0;
    for (int i = 0; i < 2; ++i) {
      const ProcessResult& result = results[i];
      if (result.exitCode == 0 && result.out == paths[i] + success && result.err.empty()) {
        ++converted;
      } else if (result.exitCode == 0 && result.out == paths[i] + done && result.err.empty()) {
        ++foundDone;
      } else if (result.exitCode == 1 && result.err.starts_with("kwtconv: " + paths[i] + ": ") &&
                 result.err.size() > paths[i].size() + 12) {
        ++failed;
      } else {
        fault(tally.dishonest, "process " + std::to_string(i) + " ended unexpectedly: exit " +
                                   std::to_string(result.exitCode) + ", out " + result.out);
        return;
      }
    }
    if (converted > 1) return fault(tally.twoConversions, "both processes report a conversion");
    if ((converted == 1) != (layout == 2)) {
      return fault(tally.dishonest, "the reports do not match the records of pass " + std::to_string(layout));
    }
    if (converted == 0 && foundDone > 0) return fault(tally.dishonest, "found done what nobody converted");
    if (converted == 0) {
      ++tally.neitherConverted;
    } else if (foundDone == 1) {
      ++tally.convertedAndDone;
    } else {
      ++tally.convertedAndRefused;
    }
  }

  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    const fs::path root = folder_.Path("");
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_directory()) continue;
      const std::string name = entry.path().lexically_relative(root).generic_string();
      files[name] = entry.is_regular_file() ? ReadWhole(entry.path()) : "<not a file>";
    }
    return files;
  }

  RaceCase race_;
  TempFolder folder_{NameBytes::Utf8};
  std::set<std::string> projects_;
  std::string records_[3];
  std::string project_[3];
};

TEST(Race, TwoConversionsStartedAtOnceNeverMixTheRecords) {
  const int pairs = Pairs();
  for (const RaceCase& race :
       {RaceCase{"one project", "book.kwj", "book.kwj"},
        RaceCase{"two projects, one contents file", "a.kwj", "b.kwj"},
        RaceCase{"two projects in two folders, one contents file", "one/a.kwj", "two/b.kwj"}}) {
    SCOPED_TRACE(race.name);
    Race run(race);
    Tally tally;
    for (int i = 0; i < pairs; ++i) run.Run(tally);
    std::cout << race.name << ": pairs: " << tally.pairs
              << "; one converted, the other found it done: " << tally.convertedAndDone
              << "; one converted, the other failed: " << tally.convertedAndRefused
              << "; neither converted: " << tally.neitherConverted << "; corrupt: " << tally.corrupt
              << "; two conversions: " << tally.twoConversions << "; files left behind: " << tally.strayFiles
              << "; reports not matching the files: " << tally.dishonest << "\n";
    ::testing::Test::RecordProperty(std::string(race.name) + " pairs", tally.pairs);
    ::testing::Test::RecordProperty(std::string(race.name) + " corrupt", tally.corrupt);
    for (const std::string& fault : tally.faults) ADD_FAILURE() << fault;
    EXPECT_EQ(tally.corrupt, 0);
    EXPECT_EQ(tally.twoConversions, 0);
    EXPECT_EQ(tally.strayFiles, 0);
    EXPECT_EQ(tally.dishonest, 0);
  }
}

}  // namespace
}  // namespace kwt::testing
