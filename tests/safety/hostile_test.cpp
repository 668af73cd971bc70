// Projects made to hurt: huge, unbroken or binary project files, absurd counts
// and length bytes, and contents paths that point at a folder or back at the
// project itself. Each converts correctly or is refused with every file left
// as it was; none may crash, overrun or allocate by a count it was handed.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <random>

#include "convert/conversion.h"
#include "convert/conversion_test_support.h"
#include "runtime/errors.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"
#include "safety/safety_test_support.h"

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t k102 = ContentRecord102::kSize;
constexpr std::size_t k103 = ContentRecord103::kSize;
constexpr std::size_t k140 = ContentRecord140::kSize;

// A project "p.kwj" in a folder of its own, converted through the core.
struct Case {
  Case() : converter(face), project(folder.PathOf("p.kwj")) {}
  void Convert() { converter.Convert(project); }

  TempFolder folder{NameBytes::Utf8};
  RecordingFace face;
  Converter converter;
  std::string project;
};

std::string Junk(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

// The largest resident size of this process so far, in kB; nullopt where the
// system does not tell.
std::optional<long> PeakMemory() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return std::nullopt;
}

// Starts the peak over from the present size (Linux) and answers it.
std::optional<long> ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return PeakMemory();
}

// Huge and broken project files either convert with every line kept in the
// store's saved form, or leave both files as they were.
TEST(HostileProjectFile, HugeUnbrokenOrBinaryFilesConvertOrChangeNothing) {
  struct Row {
    const char* name;
    // The project's text, given the contents path.
    std::string (*text)(const std::string& contents);
    // The saved project expected after a conversion; none when nothing converts.
    std::optional<std::string> (*saved)(const std::string& text);
  };
  const auto withVersion140 = [](const std::string& text) -> std::optional<std::string> {
    std::string saved = text;
    saved.replace(saved.find("Version=102"), 11, "Version=140");
    return saved;
  };
  const Row rows[] = {
      {"50 MB of keys in the store's own form",
       [](const std::string& contents) {
         // Sections of a thousand distinct keys each, every section closed by
         // the empty line that saving writes.
         std::string lines;
         for (int i = 0; i < 1000; ++i)
           lines += "Key" + std::to_string(i) + "=" + std::string(80, 'v') + "\r\n";
         std::string text = Kwj("102", "2", contents) + "\r\n";
         text.reserve(51u << 20);
         for (int i = 0; text.size() < 50u << 20; ++i)
           text += "[Bulk" + std::to_string(i) + "]\r\n" + lines + "\r\n";
         return text;
       },
       withVersion140},
      {"a 10 MB value without a line break",
       [](const std::string& contents) {
         return Kwj("102", "2", contents) + "Note=" + std::string(10 << 20, 'n');
       },
       [](const std::string& text) -> std::optional<std::string> {
         std::string saved = text;
         saved.replace(saved.find("Version=102"), 11, "Version=140");
         return saved + "\r\n\r\n";
       }},
      {"nothing but one 10 MB line", [](const std::string&) { return std::string(10 << 20, 'A'); },
       [](const std::string&) -> std::optional<std::string> { return std::nullopt; }},
      {"binary junk", [](const std::string&) { return Junk(1 << 20, 1); },
       [](const std::string&) -> std::optional<std::string> { return std::nullopt; }},
      {"binary junk without NUL bytes",
       [](const std::string&) {
         std::string junk = Junk(1 << 20, 2);
         for (char& byte : junk) byte = byte == '\0' ? 'N' : byte;
         return junk;
       },
       [](const std::string&) -> std::optional<std::string> { return std::nullopt; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Case c;
    const std::string contents = c.folder.PathOf("p.KWT");
    const std::string records = Records102(2);
    const std::string text = row.text(contents);
    c.folder.Write("p.kwj", text);
    c.folder.Write("p.KWT", records);
    c.folder.Backdate();
    const FileState project = StateOf(c.folder.Path("p.kwj"));
    const FileState contentsBefore = StateOf(c.folder.Path("p.KWT"));

    EXPECT_NO_THROW(c.Convert());
    const std::optional<std::string> saved = row.saved(text);
    if (!saved) {
      EXPECT_EQ(c.face.log, (std::vector<std::string>{Status(texts::kStatusNoContents),
                                                      Status(texts::kStatusNoContents)}));
      EXPECT_TRUE(StateOf(c.folder.Path("p.kwj")) == project);
      EXPECT_TRUE(StateOf(c.folder.Path("p.KWT")) == contentsBefore);
    } else {
      EXPECT_EQ(c.face.log.back(), Status(texts::kStatusSuccess));
      const std::string written = ReadWhole(c.folder.Path("p.kwj"));
      EXPECT_EQ(written.size(), saved->size());
      EXPECT_TRUE(written == *saved) << "the saved project differs from the loaded one";
      EXPECT_EQ(c.folder.Read("p.KWT"), To140Records(To103Records(records, 2), 2));
    }
    EXPECT_FALSE(c.folder.Exists("TMP.DAT"));
    EXPECT_FALSE(c.folder.Exists("p.kwj$$$"));
  }
}

// A valid header followed by junk: the junk stays in the store and goes back
// to disk in the store's form; the keys the conversion needs are unharmed.
TEST(HostileProjectFile, JunkAfterAValidSectionIsCarriedAlong) {
  Case c;
  std::string junk = Junk(256 << 10, 3);
  for (char& byte : junk) byte = byte == '\0' ? 'N' : byte;
  c.folder.Write("p.KWT", Records102(1));
  c.folder.Write("p.kwj", Kwj("102", "1", c.folder.PathOf("p.KWT")) + junk);
  c.Convert();
  EXPECT_EQ(c.face.log.back(), Status(texts::kStatusSuccess));
  TMemIniFile reloaded(c.project);
  EXPECT_EQ(reloaded.ReadNumber("KWJ", "Version", 0), 140);
  EXPECT_EQ(reloaded.ReadNumber("KWJ", "Count", 0), 1);
  EXPECT_EQ(reloaded.SavedText(), c.folder.Read("p.kwj"));
  EXPECT_EQ(c.folder.Read("p.KWT").size(), k140);
}

// A count far beyond the records present stops at the first missing record
// with error 100; it never sizes anything by the count.
TEST(HostileContents, ExtremeCountsStopCleanly) {
  struct Row {
    const char* name;
    const char* version;
    const char* count;
    std::size_t layout;
  };
  const Row rows[] = {
      {"largest count, second pass", "103", "2147483647", k103},
      {"largest count, both passes", "102", "2147483647", k102},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Case c;
    const std::string record = row.layout == k102 ? Records102(1) : Records103(1);
    c.folder.Write("p.KWT", record);
    c.folder.Write("p.kwj", Kwj(row.version, row.count, c.folder.PathOf("p.KWT")));
    c.folder.Backdate();
    const auto project = c.folder.Snapshot();

    const std::optional<long> start = ResetPeakMemory();
    const auto error = Raised<EInOutError>([&] { c.Convert(); });
    const std::optional<long> peak = PeakMemory();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->IoCode(), 100);
    EXPECT_EQ(error->Message(), texts::kIoReadPastEnd);
    EXPECT_EQ(c.face.log, (std::vector<std::string>{
                              Target(ShortenPath(c.folder.PathOf("p.KWT"), c.face.measure, c.face.width)),
                              Progress(0), Progress(1)}));
    // Only the record that was there reached the temporary file.
    EXPECT_EQ(c.folder.Read("TMP.DAT"),
              row.layout == k102 ? To103Records(record, 1) : To140Records(record, 1));
    std::filesystem::remove(c.folder.Path("TMP.DAT"));
    EXPECT_TRUE(c.folder.Snapshot() == project);
    if (start && peak) {
      EXPECT_LT(*peak - *start, 64 * 1024) << "kB more at the peak than before the conversion";
    }
  }
}

TEST(HostileContents, SmallestCountIsRefusedBeforeAnythingOpens) {
  Case c;
  c.folder.Write("p.KWT", Records102(2));
  c.folder.Write("p.kwj", Kwj("102", "-2147483648", c.folder.PathOf("p.KWT")));
  c.folder.Backdate();
  const auto before = c.folder.Snapshot();
  const auto error = Raised<EConvertError>([&] { c.Convert(); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Message(), texts::Format(texts::kNegativeCountFormat, "-2147483648"));
  EXPECT_TRUE(c.face.log.empty());
  EXPECT_TRUE(c.folder.Snapshot() == before);
}

// Every length byte at 255 and every value at its largest: each string is cut
// to its field, nothing reaches past a record, both passes complete.
TEST(HostileContents, LengthBytesAt255AreCutToTheirFields) {
  struct Field {
    std::size_t offset;
    std::size_t capacity;
  };
  const Field fields140[] = {
      {ContentRecord140::kText1, ContentRecord140::kText1Capacity},
      {ContentRecord140::kText2, ContentRecord140::kText2Capacity},
      {ContentRecord140::kText3, ContentRecord140::kText3Capacity},
      {ContentRecord140::kText4, ContentRecord140::kText4Capacity},
      {ContentRecord140::kText5, ContentRecord140::kText5Capacity},
      {ContentRecord140::kText6, ContentRecord140::kText6Capacity},
      {ContentRecord140::kText7, k140 - ContentRecord140::kText7 - 1},
  };
  for (const auto& [version, layout] : {std::pair{"102", k102}, std::pair{"103", k103}}) {
    SCOPED_TRACE(version);
    Case c;
    c.folder.Write("p.KWT", std::string(3 * layout, '\xFF'));
    c.folder.Write("p.kwj", Kwj(version, "3", c.folder.PathOf("p.KWT")));
    c.Convert();
    EXPECT_EQ(c.face.log.back(), Status(texts::kStatusSuccess));
    const std::string converted = c.folder.Read("p.KWT");
    ASSERT_EQ(converted.size(), 3 * k140);
    for (std::size_t i = 0; i < 3; ++i) {
      const std::string_view record = std::string_view(converted).substr(i * k140, k140);
      for (const Field& field : fields140) {
        SCOPED_TRACE("field at " + std::to_string(field.offset));
        EXPECT_LE(static_cast<unsigned char>(record[field.offset]), field.capacity);
      }
      EXPECT_EQ(record.substr(ContentRecord140::kValue2, 4), std::string(4, '\xFF'));
      EXPECT_EQ(static_cast<unsigned char>(record[ContentRecord140::kValue1]), 0xFF);
    }
  }
}

// A contents path that names a folder finds no contents file: the pass ends
// with I/O error 103 at its first close, and neither the folder nor anything
// in it changes.
TEST(HostileContents, ContentsPathNamingAFolderChangesNothing) {
  for (const std::string& end : {std::string(), std::string(1, kSeparator)}) {
    SCOPED_TRACE("closing separator: " + end);
    Case c;
    c.folder.Write("dir/inside.txt", "kept");
    c.folder.Write("p.kwj", Kwj("102", "2", c.folder.PathOf("dir") + end));
    c.folder.Backdate();
    const auto before = c.folder.Snapshot();
    const auto error = Raised<EInOutError>([&] { c.Convert(); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->IoCode(), 103);
    EXPECT_EQ(c.face.log.back(), Status(texts::kStatusFinishing));
    EXPECT_TRUE(fs::is_directory(c.folder.Path("dir")));
    EXPECT_TRUE(c.folder.Snapshot() == before);
  }
}

}  // namespace
}  // namespace kwt::testing
