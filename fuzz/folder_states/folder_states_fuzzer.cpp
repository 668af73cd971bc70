// A real conversion in a folder whose state the input decides: the project's
// Version and Count, contents records of some layout (or none), and whatever
// already has the names of the work files (TMP.DAT, the save files, the
// backups): nothing, junk, links to the contents file, to the project file or
// to a file outside the project, a dangling link, a hard link to that outside
// file, a folder or a pipe; optionally a second project naming the same
// contents file, converted afterwards. Whatever the state, the file outside
// never changes, nothing appears outside the project's folder, the project
// file is its old text or that text with a new Version, the records are the
// old ones or their correct conversion to the project's Version, and a run
// that reports success has converted them. POSIX only, like the links.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "convert/content_records.h"
#include "convert/conversion.h"
#include "fuzz/fuzz_check.h"
#include "kit/quiet_face.h"
#include "kit/temp_folder.h"
#include "runtime/errors.h"
#include "runtime/ini_file.h"
#include "runtime/path_shortening.h"
#include "runtime/platform.h"

namespace {

namespace fs = std::filesystem;

using kwt::testing::QuietFace;

// The input, read a byte at a time; zeros once it is used up.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  std::uint8_t Next() { return at_ < data_.size() ? static_cast<std::uint8_t>(data_[at_++]) : 0; }
  std::string Rest(std::size_t most) {
    const std::string rest(data_.substr(at_, most));
    at_ += rest.size();
    return rest;
  }

 private:
  std::string_view data_;
  std::size_t at_ = 0;
};

// What may already have a work file's name.
enum class Planted : std::uint8_t {
  Absent,
  Junk,
  LinkToContents,
  LinkToProject,
  LinkToVictim,
  DanglingLink,
  HardLinkToVictim,
  Folder,
  Pipe,
  kCount
};

constexpr std::array<std::int32_t, 6> kVersions = {102, 103, 139, 140, 0, 101};
constexpr std::array<std::size_t, 3> kRecordSizes = {
    kwt::ContentRecord102::kSize, kwt::ContentRecord103::kSize, kwt::ContentRecord140::kSize};

// Which layout a Version's records have: 0 (102), 1 (103) or 2 (140).
int LayoutOf(std::int32_t version) {
  return version < 103 ? 0 : version < 140 ? 1 : 2;
}

// count records of layout from, mapped as the passes map them (one target
// buffer for the whole pass) up to layout to; nullopt when there are fewer.
template <typename Source, typename Target, auto Map>
std::optional<std::string> Mapped(std::string_view bytes, std::int32_t count) {
  if (count < 0 || bytes.size() < static_cast<std::size_t>(count) * Source::kSize) return std::nullopt;
  Source source;
  Target target;
  std::string out;
  for (std::int32_t i = 0; i < count; ++i) {
    bytes.substr(static_cast<std::size_t>(i) * Source::kSize, Source::kSize)
        .copy(reinterpret_cast<char*>(source.bytes.data()), Source::kSize);
    Map(source, target);
    out.append(reinterpret_cast<const char*>(target.bytes.data()), Target::kSize);
  }
  return out;
}

std::optional<std::string> Converted(std::string_view bytes, std::int32_t count, int from, int to) {
  if (from == to) return std::string(bytes);
  if (from == 0) {
    const auto records = Mapped<kwt::ContentRecord102, kwt::ContentRecord103, kwt::MapTo103>(bytes, count);
    if (!records || to == 1) return records;
    return Mapped<kwt::ContentRecord103, kwt::ContentRecord140, kwt::MapTo140>(*records, count);
  }
  if (from == 1 && to == 2)
    return Mapped<kwt::ContentRecord103, kwt::ContentRecord140, kwt::MapTo140>(bytes, count);
  return std::nullopt;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  KWT_FUZZ_CHECK(!out.fail());
}

// The bytes, or nullopt when no regular file is reached there.
std::optional<std::string> Contents(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  return ReadFile(path);
}

// One scratch folder per process; each input gets a fresh project folder in
// it, and a file outside that folder that must never change.
class Scratch {
 public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // Empties the scratch folder and makes the victim and the project folder anew.
  void Reset() const {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(root_)) fs::remove_all(entry.path(), ignored);
    fs::create_directory(Project());
    WriteFile(Victim(), kVictimBytes);
    fs::permissions(Victim(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  }

  fs::path Project() const { return root_ / "p"; }
  fs::path Victim() const { return root_ / "victim"; }
  fs::path Nowhere() const { return root_ / "nowhere"; }
  const fs::path& Root() const { return root_; }

  // Nothing but the project folder and the victim, which is as it was.
  void CheckOutside() const {
    struct stat info {};
    KWT_FUZZ_CHECK(::lstat(Victim().c_str(), &info) == 0);
    KWT_FUZZ_CHECK(S_ISREG(info.st_mode));
    KWT_FUZZ_CHECK((info.st_mode & 07777) == 0640);
    KWT_FUZZ_CHECK(ReadFile(Victim()) == kVictimBytes);
    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(root_)) {
      (void)entry;
      ++entries;
    }
    KWT_FUZZ_CHECK(entries == 2);
  }

  static constexpr std::string_view kVictimBytes = "the user's other file; nothing may write here\n";

 private:
  kwt::testing::TempFolder dir_{"kwt-fuzz-folders-"};
  const fs::path& root_ = dir_.path();
};

void Plant(const Scratch& scratch, const fs::path& path, Planted kind, const std::string& junk,
           const fs::path& contents, const fs::path& project) {
  std::error_code ignored;
  switch (kind) {
    case Planted::Absent:
    case Planted::kCount: break;
    case Planted::Junk: WriteFile(path, junk); break;
    case Planted::LinkToContents: fs::create_symlink(contents, path, ignored); break;
    case Planted::LinkToProject: fs::create_symlink(project, path, ignored); break;
    case Planted::LinkToVictim: fs::create_symlink(scratch.Victim(), path, ignored); break;
    case Planted::DanglingLink: fs::create_symlink(scratch.Nowhere(), path, ignored); break;
    case Planted::HardLinkToVictim: fs::create_hard_link(scratch.Victim(), path, ignored); break;
    case Planted::Folder:
      fs::create_directory(path, ignored);
      WriteFile(path / "inside", junk);
      break;
    case Planted::Pipe: KWT_FUZZ_CHECK(::mkfifo(path.c_str(), 0600) == 0); break;
  }
}

// One project's conversion, judged against what its files held before it,
// its backups included.
void ConvertAndCheck(const fs::path& project, const fs::path& contents, bool backup) {
  const std::string projectBefore = ReadFile(project);
  kwt::TMemIniFile store = kwt::TMemIniFile::FromText(project.string(), projectBefore);
  store.SetCaseSensitivity(false);
  const std::int32_t version = store.ReadNumber("KWJ", "Version", 0);
  const std::int32_t count = store.ReadNumber("KWJ", "Count", 0);
  const std::optional<std::string> recordsBefore = Contents(contents);
  const int from = LayoutOf(version);

  bool succeeded = false;
  try {
    QuietFace face;
    kwt::Converter converter(face, {.contentsPath = std::nullopt, .backup = backup});
    converter.Convert(project.string());
    succeeded = true;
  } catch (const kwt::Exception&) {
    // An honest refusal or failure; the files below tell whether it was safe.
  }

  // The project file: its text as it was, or with a later Version.
  const std::string projectAfter = ReadFile(project);
  int to = from;
  if (projectAfter != projectBefore) {
    bool stamped = false;
    for (const std::int32_t stamp : {103, 140}) {
      if (LayoutOf(stamp) <= from) continue;
      if (projectAfter == store.SavedTextWith("KWJ", "Version", std::to_string(stamp))) {
        stamped = true;
        to = LayoutOf(stamp);
      }
    }
    KWT_FUZZ_CHECK(stamped);
  }

  // The records: as they were, or converted to the project's Version.
  const std::optional<std::string> recordsAfter = Contents(contents);
  if (to == from) {
    KWT_FUZZ_CHECK(recordsAfter == recordsBefore);
  } else {
    KWT_FUZZ_CHECK(recordsBefore.has_value() && recordsAfter.has_value());
    KWT_FUZZ_CHECK(recordsAfter == Converted(*recordsBefore, count, from, to));
  }

  // Success converted everything there was to convert.
  if (succeeded && count > 0 && from < 2) KWT_FUZZ_CHECK(to == 2);
  if (succeeded && to == 2 && from < 2 && backup) {
    // The backups hold the project as it was.
    KWT_FUZZ_CHECK(Contents(project.string() + ".bak") == projectBefore);
    KWT_FUZZ_CHECK(Contents(contents.string() + ".bak") == recordsBefore);
  }
}

}  // namespace

// What every program that converts does at its start.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kwt::platform::IgnoreLeaseSignal();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Scratch scratch;
  Bytes input(kwt::fuzz::AsText(data, size));

  const std::int32_t version = kVersions[input.Next() % kVersions.size()];
  const int count = input.Next() % 8 - 1;
  const std::size_t layout = input.Next() % kRecordSizes.size();
  const int present = input.Next() % 7;  // 6: no contents file at all
  const std::uint8_t flags = input.Next();
  const bool backup = (flags & 1) != 0;
  const bool second = (flags & 2) != 0;
  const std::int32_t secondVersion = kVersions[input.Next() % kVersions.size()];
  std::array<Planted, 6> planted{};
  for (Planted& kind : planted) kind = static_cast<Planted>(input.Next() % static_cast<int>(Planted::kCount));
  const std::uint8_t seed = input.Next();
  const std::string junk = input.Rest(64);

  scratch.Reset();
  const fs::path folder = scratch.Project();
  const fs::path project = folder / "book.kwj";
  const fs::path contents = folder / "book.KWT";
  const fs::path other = folder / "other.kwj";
  const auto projectText = [&](std::int32_t v) {
    return "[KWJ]\r\nVersion=" + std::to_string(v) + "\r\nCount=" + std::to_string(count) +
           "\r\nKWT=" + contents.string() + "\r\n";
  };
  WriteFile(project, projectText(version));
  if (second) WriteFile(other, projectText(secondVersion));

  // Records of layout 102 with texts from the seed, carried to the chosen
  // layout as a conversion would have written them.
  if (present < 6) {
    std::string records;
    for (int i = 0; i < present; ++i) {
      kwt::ContentRecord102 record;
      for (std::size_t j = 0; j < record.bytes.size(); ++j) {
        record.bytes[j] =
            static_cast<std::uint8_t>((j % 37 == 0) ? (seed + i + j) % 24 : 'a' + (seed + j) % 26);
      }
      records.append(reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size());
    }
    const auto carried = Converted(records, present, 0, static_cast<int>(layout));
    WriteFile(contents, carried.value_or(records));
  }

  const std::array<fs::path, 6> names = {folder / "TMP.DAT",         folder / "book.kwj$$$",
                                         folder / "book.kwj.bak",    folder / "book.KWT.bak",
                                         folder / "book.KWT.bak$$$", folder / "other.kwj$$$"};
  for (std::size_t i = 0; i < names.size(); ++i)
    Plant(scratch, names[i], planted[i], junk, contents, project);

  ConvertAndCheck(project, contents, backup);
  scratch.CheckOutside();
  if (second) {
    ConvertAndCheck(other, contents, backup);
    scratch.CheckOutside();
  }
  return 0;
}
