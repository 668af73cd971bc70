// Record files on real files in a temporary folder: states and the codes they
// leave, short reads, held and read-only files, long and double-byte paths.
#include "runtime/record_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "kit/temp_folder.h"
#include "runtime/store_faults.h"
#include "runtime/texts.h"

namespace kwt {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

class RecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override { TakeIoStatus(); }
  // The path handed to the record layer (ASCII folder, so bytes are the same).
  std::string PathOf(const std::string& name) const { return dir_.string() + kSep + name; }
  void MakeFile(const std::string& name, std::size_t size) const {
    std::ofstream out(dir_ / name, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i % 251));
  }
  std::uintmax_t SizeOf(const std::string& name) const { return fs::file_size(dir_ / name); }

  testing::TempFolder temp_{"kwt-records-"};
  const fs::path dir_ = temp_.path();
};

TEST_F(RecordFileTest, OperationsOnVariablesNotOpenLeaveTheirCodesAndState) {
  std::array<std::uint8_t, 8> buffer{};
  struct Row {
    const char* name;
    bool bound;
    std::function<void(RecordFile&)> op;
    std::int32_t code;
    std::uint16_t modeAfter;
  };
  const Row rows[] = {
      {"new: open", false, [](RecordFile& f) { OpenExisting(f, 8); }, 102, record_mode::kUnassigned},
      {"new: create", false, [](RecordFile& f) { CreateEmpty(f, 8); }, 102, record_mode::kUnassigned},
      {"new: close", false, [](RecordFile& f) { CloseRecordFile(f); }, 103, record_mode::kUnassigned},
      {"new: read", false, [&](RecordFile& f) { ReadRecord(f, buffer.data()); }, 103,
       record_mode::kUnassigned},
      {"new: write", false, [&](RecordFile& f) { WriteRecord(f, buffer.data()); }, 5,
       record_mode::kUnassigned},
      {"new: flush", false, [](RecordFile& f) { FlushRecordFile(f); }, 103, record_mode::kUnassigned},
      {"bound: close", true, [](RecordFile& f) { CloseRecordFile(f); }, 103, record_mode::kClosed},
      {"bound: read", true, [&](RecordFile& f) { ReadRecord(f, buffer.data()); }, 103, record_mode::kClosed},
      {"bound: write", true, [&](RecordFile& f) { WriteRecord(f, buffer.data()); }, 5, record_mode::kClosed},
      {"bound: open missing", true, [](RecordFile& f) { OpenExisting(f, 8); }, 2, record_mode::kClosed},
      {"bound: missing folder", true,
       [&](RecordFile& f) {
         AssignPath(f, PathOf("no") + kSep + "x.KWT");
         OpenExisting(f, 8);
       },
       3, record_mode::kClosed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordFile file;
    EXPECT_FALSE(file.IsAssigned());
    if (row.bound) {
      AssignPath(file, PathOf("missing.KWT"));
      EXPECT_EQ(PendingIoStatus(), 0);
    }
    row.op(file);
    EXPECT_EQ(TakeIoStatus(), row.code);
    EXPECT_EQ(file.Mode(), row.modeAfter);
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing.KWT"));
}

TEST_F(RecordFileTest, OpenModesChooseWhichTransfersAreAllowed) {
  MakeFile("a.KWT", 16);
  struct Row {
    std::uint8_t openMode;
    std::uint16_t mode;
    std::int32_t readCode, writeCode;
  };
  for (const Row& row : {Row{0, record_mode::kInput, 0, 5}, Row{1, record_mode::kOutput, 103, 0},
                         Row{2, record_mode::kInOut, 0, 0}, Row{3, record_mode::kInOut, 0, 0}}) {
    SCOPED_TRACE(row.openMode);
    RecordFile file;
    AssignPath(file, PathOf("a.KWT"));
    detail::OpenExistingInMode(file, 4, row.openMode);
    ASSERT_EQ(TakeIoStatus(), 0);
    EXPECT_EQ(file.Mode(), row.mode);
    std::array<std::uint8_t, 4> buffer{};
    ReadRecord(file, buffer.data());
    EXPECT_EQ(TakeIoStatus(), row.readCode);
    WriteRecord(file, buffer.data());
    EXPECT_EQ(TakeIoStatus(), row.writeCode);
    CloseRecordFile(file);
    EXPECT_EQ(TakeIoStatus(), 0);
    EXPECT_EQ(file.Mode(), record_mode::kClosed);
  }
  EXPECT_EQ(SizeOf("a.KWT"), 16u);
}

TEST_F(RecordFileTest, ShortAndEmptyReadsSet100AndKeepTheBytesThatArrived) {
  struct Row {
    std::size_t fileSize;
    int fullReads;
    std::size_t tail;
  };
  for (const Row& row : {Row{600, 2, 0}, Row{650, 2, 50}, Row{0, 0, 0}, Row{299, 0, 299}}) {
    SCOPED_TRACE(row.fileSize);
    MakeFile("r.KWT", row.fileSize);
    RecordFile file;
    AssignPath(file, PathOf("r.KWT"));
    OpenExisting(file, 300);
    ASSERT_EQ(TakeIoStatus(), 0);
    std::array<std::uint8_t, 300> buffer{};
    for (int i = 0; i < row.fullReads; ++i) {
      ReadRecord(file, buffer.data());
      ASSERT_EQ(PendingIoStatus(), 0);
      EXPECT_EQ(buffer[299], static_cast<std::uint8_t>((300 * i + 299) % 251));
    }
    buffer.fill(0xEE);
    ReadRecord(file, buffer.data());
    for (std::size_t j = 0; j < row.tail; ++j) {
      ASSERT_EQ(buffer[j], static_cast<std::uint8_t>((300 * row.fullReads + j) % 251)) << j;
    }
    EXPECT_EQ(buffer[row.tail], 0xEE);
    try {
      CheckIo();
      ADD_FAILURE() << "no error raised";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.IoCode(), 100);
      EXPECT_EQ(e.Message(), texts::kIoReadPastEnd);
    }
    EXPECT_EQ(TakeIoStatus(), 0);
    EXPECT_TRUE(file.IsOpen());  // a failed read leaves the file open
  }
}

// Many records per call against one per call on the same file: the same
// whole records, the same code for the first record missing, the same file.
TEST_F(RecordFileTest, ReadingManyRecordsReportsAsReadingOneAtATime) {
  for (const std::size_t fileSize : {0, 299, 300, 650, 900, 1200, 1500}) {
    SCOPED_TRACE(fileSize);
    MakeFile("r.KWT", fileSize);
    std::vector<std::uint8_t> one(4 * 300);
    RecordFile single;
    AssignPath(single, PathOf("r.KWT"));
    OpenExisting(single, 300);
    ASSERT_EQ(TakeIoStatus(), 0);
    std::size_t records = 0;
    while (records < 4) {
      ReadRecord(single, one.data() + 300 * records);
      if (PendingIoStatus() != 0) break;
      ++records;
    }
    const std::int32_t code = TakeIoStatus();
    CloseRecordFile(single);

    std::vector<std::uint8_t> many(4 * 300);
    RecordFile file;
    AssignPath(file, PathOf("r.KWT"));
    OpenExisting(file, 300);
    ASSERT_EQ(TakeIoStatus(), 0);
    EXPECT_EQ(ReadRecords(file, many.data(), 4), records);
    EXPECT_EQ(TakeIoStatus(), code);
    EXPECT_TRUE(std::equal(many.begin(), many.begin() + 300 * records, one.begin()));
    EXPECT_EQ(ReadRecords(file, many.data(), 0), 0u);
    EXPECT_EQ(TakeIoStatus(), 0);
    CloseRecordFile(file);
  }
}

TEST_F(RecordFileTest, WritingManyRecordsLeavesWhatWritingOneAtATimeLeaves) {
  std::vector<std::uint8_t> records(4 * 300);
  for (std::size_t i = 0; i < records.size(); ++i) records[i] = static_cast<std::uint8_t>(i * 7);
  // Nothing fits, within the first record, between records, within a later
  // one, all of them.
  for (const std::uint64_t cap : {0, 100, 300, 600, 750, 1200, 5000}) {
    SCOPED_TRACE(cap);
    const auto write = [&](const std::string& name, const std::function<std::size_t(RecordFile&)>& how) {
      RecordFile file;
      AssignPath(file, PathOf(name));
      CreateEmpty(file, 300);
      EXPECT_EQ(TakeIoStatus(), 0);
      std::size_t written = 0;
      {
        testing::FileSizeLimit limit(cap);
        if (!limit.Active()) return std::pair<std::size_t, std::int32_t>{0, -1};
        written = how(file);
      }
      const std::int32_t code = TakeIoStatus();
      CloseRecordFile(file);
      return std::pair{written, code};
    };
    const auto one = write("one.KWT", [&](RecordFile& file) {
      std::size_t written = 0;
      while (written < 4) {
        WriteRecord(file, records.data() + 300 * written);
        if (PendingIoStatus() != 0) break;
        ++written;
      }
      return written;
    });
    if (one.second == -1) GTEST_SKIP() << "no file size limit on this system";
    const auto many =
        write("many.KWT", [&](RecordFile& file) { return WriteRecords(file, records.data(), 4); });
    EXPECT_EQ(many, one);
    std::ifstream a(dir_ / "one.KWT", std::ios::binary), b(dir_ / "many.KWT", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(b), {}),
              std::string(std::istreambuf_iterator<char>(a), {}));
  }
}

TEST_F(RecordFileTest, ManyRecordsNeedTheRightOpenMode) {
  std::array<std::uint8_t, 8> buffer{};
  RecordFile file;
  AssignPath(file, PathOf("m.KWT"));
  EXPECT_EQ(ReadRecords(file, buffer.data(), 2), 0u);
  EXPECT_EQ(TakeIoStatus(), 103);
  EXPECT_EQ(WriteRecords(file, buffer.data(), 2), 0u);
  EXPECT_EQ(TakeIoStatus(), 5);
  MakeFile("m.KWT", 8);
  detail::OpenExistingInMode(file, 4, 0);
  ASSERT_EQ(TakeIoStatus(), 0);
  EXPECT_EQ(WriteRecords(file, buffer.data(), 2), 0u);
  EXPECT_EQ(TakeIoStatus(), 5);
  EXPECT_EQ(SizeOf("m.KWT"), 8u);
  CloseRecordFile(file);
}

TEST_F(RecordFileTest, CreateEmptyTruncatesAndRecordsComeBackInOrder) {
  MakeFile("w.KWT", 2000);
  RecordFile file;
  AssignPath(file, PathOf("w.KWT"));
  CreateEmpty(file, 4);
  ASSERT_EQ(TakeIoStatus(), 0);
  EXPECT_EQ(SizeOf("w.KWT"), 0u);
  std::array<std::uint8_t, 4> record{};
  ReadRecord(file, record.data());  // in-out: reading is allowed, the file is empty
  EXPECT_EQ(TakeIoStatus(), 100);
  for (std::uint8_t i = 0; i < 3; ++i) {
    record = {i, 0xFF, 0xFF, 0xFF};
    WriteRecord(file, record.data());
  }
  FlushRecordFile(file);
  ASSERT_EQ(TakeIoStatus(), 0);
  EXPECT_EQ(SizeOf("w.KWT"), 12u);
  // A new open of an open variable closes it and starts again at the first record.
  OpenExisting(file, 4);
  for (std::uint8_t i = 0; i < 3; ++i) {
    ReadRecord(file, record.data());
    EXPECT_EQ(record, (std::array<std::uint8_t, 4>{i, 0xFF, 0xFF, 0xFF}));
  }
  CloseRecordFile(file);
  EXPECT_EQ(TakeIoStatus(), 0);
  CloseRecordFile(file);  // twice: the second has nothing to close
  EXPECT_EQ(MakeInOutError().Message(), "I/O \x83G\x83\x89\x81[ (103)");
}

TEST_F(RecordFileTest, ReadOnlyFileIsRefusedWithoutTouchingIt) {
  MakeFile("ro.KWT", 30);
  fs::permissions(dir_ / "ro.KWT", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  RecordFile file;
  AssignPath(file, PathOf("ro.KWT"));
  OpenExisting(file, 10);
  EXPECT_EQ(TakeIoStatus(), 5);
  EXPECT_EQ(file.Mode(), record_mode::kClosed);
  CreateEmpty(file, 10);
  EXPECT_EQ(TakeIoStatus(), 5);
  EXPECT_EQ(SizeOf("ro.KWT"), 30u);
}

TEST_F(RecordFileTest, HeldFileIsRefusedWithoutTouchingIt) {
  MakeFile("held.DAT", 30);
  RecordFile holder, second;
  AssignPath(holder, PathOf("held.DAT"));
  AssignPath(second, PathOf("held.DAT"));
  CreateEmpty(holder, 10, Sharing::Exclusive);
  ASSERT_EQ(TakeIoStatus(), 0);
  WriteRecord(holder, "0123456789");
  CreateEmpty(second, 10, Sharing::Exclusive);
  EXPECT_EQ(TakeIoStatus(), 32);
  EXPECT_EQ(second.Mode(), record_mode::kClosed);
  EXPECT_EQ(SizeOf("held.DAT"), 10u);
#ifdef _WIN32
  OpenExisting(second, 10);  // sharing both ways is not enough against an exclusive holder
  EXPECT_EQ(TakeIoStatus(), 32);
#endif
  // Rebinding an open variable gives its file back; so does going out of scope.
  AssignPath(holder, PathOf("held.DAT"));
  {
    RecordFile inner;
    AssignPath(inner, PathOf("held.DAT"));
    CreateEmpty(inner, 10, Sharing::Exclusive);
    EXPECT_EQ(TakeIoStatus(), 0);
  }
  CreateEmpty(second, 10, Sharing::Exclusive);
  EXPECT_EQ(TakeIoStatus(), 0);
  // A moved-from variable is unassigned; the file goes with the move.
  RecordFile moved(std::move(second));
  EXPECT_FALSE(second.IsAssigned());
  EXPECT_EQ(moved.Mode(), record_mode::kInOut);
}

TEST_F(RecordFileTest, DefaultOpenModeSharesWithOtherOpeners) {
  MakeFile("s.KWT", 8);
  RecordFile first, second;
  AssignPath(first, PathOf("s.KWT"));
  AssignPath(second, PathOf("s.KWT"));
  OpenExisting(first, 8);
  OpenExisting(second, 8);
  EXPECT_EQ(TakeIoStatus(), 0);
}

TEST_F(RecordFileTest, PathsAreTakenWholeOrRefusedWithCode3) {
  const std::string base = PathOf("");
  ASSERT_LT(base.size(), 200u);
  const std::string folder = base + std::string(200 - base.size(), 'd');
  fs::create_directory(folder);
  for (const auto& [length, letter] : {std::pair<std::size_t, char>{259, 'f'}, {260, 'g'}, {400, 'h'}}) {
    SCOPED_TRACE(length);
    const std::string path = folder + kSep + std::string(length - folder.size() - 1, letter);
    RecordFile file;
    AssignPath(file, path);
    CreateEmpty(file, 1);
    const bool fits = length <= RecordFile::kMaxPathLength;
    EXPECT_EQ(TakeIoStatus(), fits ? 0 : 3);
    EXPECT_EQ(file.IsOpen(), fits);
    std::error_code ignored;
    EXPECT_EQ(fs::exists(path, ignored), fits);
    // Nothing is created under the name cut to the field's size.
    if (!fits) {
      EXPECT_FALSE(fs::exists(path.substr(0, RecordFile::kMaxPathLength), ignored));
    }
  }
  // A NUL would make the system open a shorter name than the one given.
  RecordFile file;
  AssignPath(file, PathOf(std::string("a\0b", 3)));
  CreateEmpty(file, 1);
  EXPECT_EQ(TakeIoStatus(), 123);
  EXPECT_FALSE(fs::exists(dir_ / "a"));
}

TEST_F(RecordFileTest, DoubleByteFolderWithBackslashTrailByte) {
  // The folder 表 is 95 5C in code page 932: its second byte is a backslash.
  fs::create_directory(dir_ / fs::path(u8"\u8868"));
  const std::string path = PathOf("\x95\x5C") + kSep + "c.KWT";
  RecordFile file;
  AssignPath(file, path);
  CreateEmpty(file, 3);
  WriteRecord(file, "abc");
  CloseRecordFile(file);
  EXPECT_EQ(TakeIoStatus(), 0);
  EXPECT_EQ(fs::file_size(dir_ / fs::path(u8"\u8868") / "c.KWT"), 3u);
}

#ifndef _WIN32
TEST_F(RecordFileTest, FullDiskReports112) {
  RecordFile file;
  AssignPath(file, "/dev/full");
  OpenExisting(file, 4);
  ASSERT_EQ(TakeIoStatus(), 0);
  WriteRecord(file, "abcd");
  EXPECT_EQ(TakeIoStatus(), 112);
  EXPECT_EQ(WriteRecords(file, "abcdefgh", 2), 0u);
  EXPECT_EQ(TakeIoStatus(), 112);
}
#endif

TEST(IoStatus, PendingCodesStayUntilTakenOrOverwritten) {
  TakeIoStatus();
  RecordFile file;
  CloseRecordFile(file);  // 103, not checked
  AssignPath(file, "x");  // binding succeeds and leaves the code alone
  EXPECT_EQ(PendingIoStatus(), 103);
  RecordFile unassigned;
  OpenExisting(unassigned, 1);  // 102 overwrites
  EXPECT_EQ(PendingIoStatus(), 102);
  std::int32_t otherThread = -1;
  std::thread([&] { otherThread = PendingIoStatus(); }).join();
  EXPECT_EQ(otherThread, 0);
  EXPECT_THROW(CheckIo(), EInOutError);
  EXPECT_EQ(TakeIoStatus(), 0);
  EXPECT_NO_THROW(CheckIo());
}

TEST(IoStatus, MessagesComeFromTheTableOrTheGenericForm) {
  const std::pair<std::int32_t, std::string_view> table[] = {
      {2, texts::kIoFileNotFound}, {3, texts::kIoInvalidFileName}, {4, texts::kIoTooManyOpenFiles},
      {5, texts::kIoAccessDenied}, {100, texts::kIoReadPastEnd},   {101, texts::kIoDiskFull},
      {106, texts::kIoNotNumeric},
  };
  for (const auto& [code, text] : table) {
    SCOPED_TRACE(code);
    SetIoStatus(code);
    const EInOutError error = MakeInOutError();
    EXPECT_EQ(error.IoCode(), code);
    EXPECT_EQ(error.Message(), text);
  }
  for (std::int32_t code : {102, 103, 32, 112, 0, -1, 1000000}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(IoMessage(code), "I/O \x83G\x83\x89\x81[ (" + std::to_string(code) + ")");
  }
}

TEST(CopyShortString, CopiesUpToCapacityAndSourceEnd) {
  struct Row {
    std::uint8_t length;
    std::size_t capacity, sourceSize, copied;
  };
  for (const Row& row : {Row{50, 40, 256, 40}, Row{10, 200, 256, 10}, Row{0, 5, 256, 0},
                         Row{255, 255, 256, 255}, Row{200, 100, 56, 55}}) {
    SCOPED_TRACE(row.length);
    std::vector<std::uint8_t> source(row.sourceSize + 8, 0x99);  // 0x99 lies beyond the span
    source[0] = row.length;
    for (std::size_t i = 1; i < row.sourceSize; ++i) source[i] = static_cast<std::uint8_t>(i);
    std::vector<std::uint8_t> destination(row.capacity + 1, 0xAA);
    CopyShortString(destination, std::span(source).first(row.sourceSize), row.capacity);
    EXPECT_EQ(destination[0], row.copied);
    for (std::size_t i = 1; i <= row.capacity; ++i) {
      ASSERT_EQ(destination[i], i <= row.copied ? static_cast<std::uint8_t>(i) : 0xAA) << i;
    }
  }
}

}  // namespace
}  // namespace kwt
