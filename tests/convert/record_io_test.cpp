// The two ways a pass moves records, one call per record (the window) and
// blocks (the command line), held to each other: every failure a pass can meet
// and a table of random projects, each run through both, must show the same
// texts in the same order, ask for a stop at the same points, raise the same
// error and leave the same bytes in every file of the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "convert/content_records.h"
#include "convert/conversion.h"
#include "convert/conversion_test_support.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/store_faults.h"

namespace kwt {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

constexpr std::size_t k102 = ContentRecord102::kSize;
constexpr std::size_t k103 = ContentRecord103::kSize;
constexpr std::size_t k140 = ContentRecord140::kSize;
// Records of a block of each pass, as the block stream cuts them.
constexpr std::size_t kBlockTo103 = (std::size_t{1} << 20) / k103;
constexpr std::size_t kBlockTo140 = (std::size_t{1} << 20) / k140;

// Notes every question whether to stop beside the texts, and answers yes to
// the stopAt-th (from 1; never when 0).
class StoppingFace : public testing::RecordingFace {
 public:
  bool StopRequested() override {
    log.push_back("stop?");
    return ++asked_ == stopAt;
  }
  int stopAt = 0;

 private:
  int asked_ = 0;
};

// One project "P.kwj" naming "D.KWT", and what else its folder holds.
struct Case {
  std::string name;
  int version = 103;
  // As the project file holds it.
  std::string count;
  // The contents file's bytes; none for no contents file.
  std::optional<std::string> contents;
  // Runs before the conversion; what it opens in held stays open meanwhile.
  std::function<void(const TempFolder&, platform::FileHandle& held)> prepare;
  // The size no file may grow past while the conversion runs.
  std::optional<std::uint64_t> sizeCap;
  int stopAt = 0;

  Case& Prepared(std::function<void(const TempFolder&, platform::FileHandle&)> how) {
    prepare = std::move(how);
    return *this;
  }
  Case& Capped(std::uint64_t bytes) {
    sizeCap = bytes;
    return *this;
  }
  Case& StoppedAt(int question) {
    stopAt = question;
    return *this;
  }
};

Case Project(std::string name, int version, std::string count, std::optional<std::string> contents) {
  Case c;
  c.name = std::move(name);
  c.version = version;
  c.count = std::move(count);
  c.contents = std::move(contents);
  return c;
}

// What one conversion showed, raised and left.
struct Outcome {
  std::vector<std::string> log;
  // Class, code and message of the error raised; empty when none.
  std::string error;
  std::int32_t storedVersion = -1;
  // Every name in the folder afterwards with its bytes ("<folder>" for a folder).
  std::map<std::string, std::string> files;
};

void Clear(const TempFolder& folder) {
  const fs::path root = folder.Path("");
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
  }
  for (const auto& entry : fs::directory_iterator(root)) fs::remove_all(entry.path());
}

std::string Described(const Exception& error) {
  std::string text = error.ClassName();
  if (const auto* io = dynamic_cast<const EInOutError*>(&error)) text += " " + std::to_string(io->IoCode());
  return text + ": " + error.Message();
}

Outcome Run(const TempFolder& folder, const Case& c, RecordIo io) {
  Clear(folder);
  folder.Write("P.kwj", "[KWJ]\r\nVersion=" + std::to_string(c.version) + "\r\nCount=" + c.count +
                            "\r\nKWT=" + folder.PathOf("D.KWT") + "\r\n");
  if (c.contents) folder.Write("D.KWT", *c.contents);
  platform::FileHandle held;
  if (c.prepare) c.prepare(folder, held);

  StoppingFace face;
  face.stopAt = c.stopAt;
  ConversionOptions options;
  options.recordIo = io;
  Converter converter(face, options);
  Outcome outcome;
  {
    std::optional<testing::FileSizeLimit> limit;
    if (c.sizeCap) limit.emplace(*c.sizeCap);
    try {
      converter.Convert(folder.PathOf("P.kwj"));
    } catch (const Exception& error) {
      outcome.error = Described(error);
    }
  }
  held = platform::FileHandle();  // lets Windows read what it held
  outcome.log = std::move(face.log);
  if (TMemIniFile* store = converter.CurrentStore())
    outcome.storedVersion = store->ReadNumber("KWJ", "Version", -1);
  for (const auto& entry : fs::directory_iterator(folder.Path(""))) {
    const std::string name = entry.path().filename().string();
    outcome.files[name] = entry.is_directory() ? "<folder>" : folder.Read(name);
  }
  return outcome;
}

// Where two byte strings first differ, for a message that a megabyte of
// records would otherwise drown.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at " +
         std::to_string(at);
}

void ExpectSameOutcome(const TempFolder& folder, const Case& c) {
  const Outcome one = Run(folder, c, RecordIo::PerRecord);
  const Outcome blocks = Run(folder, c, RecordIo::Blocks);
  EXPECT_EQ(blocks.error, one.error);
  EXPECT_EQ(blocks.storedVersion, one.storedVersion);
  EXPECT_EQ(blocks.log.size(), one.log.size());
  for (std::size_t i = 0; i < std::min(one.log.size(), blocks.log.size()); ++i) {
    if (blocks.log[i] != one.log[i]) {
      ADD_FAILURE() << "face call " << i << ": " << blocks.log[i] << " in blocks, " << one.log[i]
                    << " record by record";
      break;
    }
  }
  for (const auto& [name, bytes] : one.files) {
    const auto other = blocks.files.find(name);
    if (other == blocks.files.end()) {
      ADD_FAILURE() << name << " is missing after the conversion in blocks";
    } else if (other->second != bytes) {
      ADD_FAILURE() << name << " differs: " << FirstDifference(bytes, other->second);
    }
  }
  for (const auto& entry : blocks.files) {
    if (!one.files.contains(entry.first)) ADD_FAILURE() << entry.first << " is left only by the blocks";
  }
}

// Records whose every byte is random, length bytes included: strings longer
// than their new field, reaching past the record's end, and shorter than the
// record before's, whose left-over bytes the mappings carry on.
std::string RandomRecords(std::mt19937& random, std::size_t bytes) {
  std::string records(bytes, '\0');
  std::uniform_int_distribution<int> byte(0, 255);
  for (char& b : records) b = static_cast<char>(byte(random));
  return records;
}

std::string Records(std::size_t size, std::size_t count) {
  std::mt19937 random(static_cast<std::uint32_t>(size * 7919 + count));
  return RandomRecords(random, size * count);
}

// The cases of the pass's failure table, and the block edges around them.
std::vector<Case> TableCases() {
  const auto readOnlyContents = [](const TempFolder& f, platform::FileHandle&) { f.MakeReadOnly("D.KWT"); };
  const auto heldTemporary = [](const TempFolder& f, platform::FileHandle& held) {
    f.Write("TMP.DAT", "held");
    ASSERT_EQ(platform::Open(f.PathOf("TMP.DAT"), platform::Access::ReadWrite, platform::kShareNone,
                             platform::Creation::OpenExisting, held),
              platform::error::kSuccess);
  };
  const auto temporaryFolder = [](const TempFolder& f, platform::FileHandle&) { f.MakeFolder("TMP.DAT"); };
  const auto readOnlyProject = [](const TempFolder& f, platform::FileHandle&) { f.MakeReadOnly("P.kwj"); };
  const std::size_t twoBlocks = kBlockTo140 * 2 + 5;
  return {
      Project("three records converted", 103, "3", Records(k103, 3)),
      Project("both passes, fewer records counted than present", 102, "2", Records(k102, 4)),
      Project("no records counted", 103, "0", Records(k103, 3)),
      Project("a negative count", 103, "-4", Records(k103, 3)),
      Project("read-only contents file", 103, "3", Records(k103, 3)).Prepared(readOnlyContents),
      Project("temporary file held by another", 103, "3", Records(k103, 3)).Prepared(heldTemporary),
      Project("temporary file is a folder", 103, "3", Records(k103, 3)).Prepared(temporaryFolder),
      Project("count beyond the records", 103, "5", Records(k103, 3)),
      Project("count far beyond the records", 103, "2147483647", Records(k103, 3)),
      Project("no records present", 103, "2", std::string()),
      Project("last record cut short", 103, "3", Records(k103, 2) + std::string(100, 'x')),
      Project("first pass short of records", 102, "2", Records(k102, 1)),
      Project("records end with the first block", 103, std::to_string(kBlockTo140 + 1),
              Records(k103, kBlockTo140)),
      Project("records end one into the second block", 103, std::to_string(twoBlocks),
              Records(k103, kBlockTo140 + 1)),
      Project("first pass's block edge", 102, std::to_string(kBlockTo103 + 3), Records(k102, kBlockTo103)),
      Project("contents file missing", 103, "3", std::nullopt),
      Project("write cut within a record", 103, "3", Records(k103, 3)).Capped(2 * k140 + 100),
      Project("write cut between records", 103, "3", Records(k103, 3)).Capped(2 * k140),
      Project("nothing may be written", 103, "3", Records(k103, 3)).Capped(0),
      Project("write cut within the first record", 103, "3", Records(k103, 3)).Capped(200),
      Project("write cut in the second block", 103, std::to_string(twoBlocks), Records(k103, twoBlocks))
          .Capped((kBlockTo140 + 7) * k140 + 1),
      Project("write cut at the block edge", 103, std::to_string(twoBlocks), Records(k103, twoBlocks))
          .Capped(kBlockTo140 * k140),
      Project("first pass's write cut", 102, "40", Records(k102, 40)).Capped(17 * k103 + 3),
      Project("second pass's write cut", 102, "40", Records(k102, 40)).Capped(40 * k103 + 5),
      Project("stop before the first record", 103, "3", Records(k103, 3)).StoppedAt(1),
      Project("stop inside the first block", 103, "30", Records(k103, 30)).StoppedAt(12),
      Project("stop before the replacement", 103, "3", Records(k103, 3)).StoppedAt(4),
      Project("stop in the second block", 103, std::to_string(twoBlocks), Records(k103, twoBlocks))
          .StoppedAt(static_cast<int>(kBlockTo140) + 2),
      Project("stop in the second pass", 102, "20", Records(k102, 20)).StoppedAt(21 + 5),
      Project("read-only project file", 103, "3", Records(k103, 3)).Prepared(readOnlyProject),
  };
}

TEST(RecordIo, EveryFailureEndsAlikeInBlocksAndRecordByRecord) {
  TempFolder folder;
  for (const Case& c : TableCases()) {
    SCOPED_TRACE(c.name);
    ExpectSameOutcome(folder, c);
  }
}

TEST(RecordIo, RandomProjectsConvertAlikeInBlocksAndRecordByRecord) {
  TempFolder folder;
  std::mt19937 random(20240611);
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int round = 0; round < 24; ++round) {
    Case c;
    c.name = "random project " + std::to_string(round);
    c.version = pick(0, 1) == 0 ? 102 : 103;
    const std::size_t size = c.version == 102 ? k102 : k103;
    // Mostly small; every third crosses the blocks of both passes.
    const auto present = static_cast<std::size_t>(round % 3 == 0 ? pick(0, 3000) : pick(0, 40));
    std::string contents = RandomRecords(random, present * size);
    if (pick(0, 3) == 0) contents += RandomRecords(random, static_cast<std::size_t>(pick(1, int(size) - 1)));
    c.contents = std::move(contents);
    switch (pick(0, 4)) {
      case 0: c.count = std::to_string(present + static_cast<std::size_t>(pick(1, 3000))); break;
      case 1: c.count = std::to_string(present / 2); break;
      default: c.count = std::to_string(present); break;
    }
    const auto count = std::stoul(c.count);
    const std::size_t written = count * (c.version == 102 ? k103 : k140);
    if (pick(0, 3) == 0 && written > 400) c.sizeCap = static_cast<std::uint64_t>(pick(300, int(written)));
    if (pick(0, 3) == 0) c.stopAt = pick(1, int(count) + 2);
    SCOPED_TRACE(c.name + ": version " + std::to_string(c.version) + ", count " + c.count + ", " +
                 std::to_string(c.contents->size()) + " bytes");
    ExpectSameOutcome(folder, c);
  }
}

}  // namespace
}  // namespace kwt
