// Projects of real files in a private temporary folder, and kwtconv started as
// a process on them, for the command line's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "cli/process.h"
#include "convert/content_records.h"
#include "kit/scoped_temp_dir.h"
#include "runtime/encoding.h"

namespace kwt::testing {

inline std::string Utf8(std::string_view cp932) {
  return encoding::Cp932ToUtf8(cp932).value();
}
inline std::string Cp932(std::string_view utf8) {
  return encoding::Utf8ToCp932(utf8).value();
}

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A fresh folder, removed with everything in it at the end. Names are UTF-8.
class Folder {
 public:
  // Names may use '/' on every platform.
  std::filesystem::path Path(std::string_view name) const {
    return (path_ / PathFromUtf8(name)).make_preferred();
  }
  // The full path in UTF-8 (for arguments) and in code page 932 (inside projects).
  std::string Utf8(std::string_view name) const { return Utf8Path(Path(name)); }
  std::string Cp932(std::string_view name) const { return testing::Cp932(Utf8(name)); }

  void Write(std::string_view name, std::string_view bytes) const {
    std::filesystem::create_directories(Path(name).parent_path());
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << name;
  }
  std::string Read(std::string_view name) const {
    std::ifstream in(Path(name), std::ios::binary);
    if (!in) ADD_FAILURE() << "cannot read " << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(std::string_view name) const { return std::filesystem::exists(Path(name)); }

  // Every file below the folder with its bytes and modification time.
  struct Entry {
    std::string name;
    std::string bytes;
    std::filesystem::file_time_type time;
    bool operator==(const Entry&) const = default;
  };
  std::vector<Entry> Snapshot() const {
    std::vector<Entry> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
      if (!entry.is_regular_file()) continue;
      const std::string name = Utf8Path(entry.path().lexically_relative(path_));
      entries.push_back({name, Read(name), entry.last_write_time()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
  }
  // Dates every file back, so that any rewrite shows in its time.
  void Backdate() const {
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
      if (entry.is_regular_file()) std::filesystem::last_write_time(entry.path(), old);
    }
  }

 private:
  ScopedTempDir dir_{"kwt-cli-"};
  const std::filesystem::path& path_ = dir_.path();
};

// One layout-102 record with the given texts (code page 932) and values.
inline std::string Record102(std::string_view text1, std::string_view text2 = {}, std::string_view text3 = {},
                             std::uint8_t value1 = 1) {
  ContentRecord102 record;
  const auto put = [&](std::size_t offset, std::string_view text) {
    record.bytes[offset] = static_cast<std::uint8_t>(text.size());
    if (!text.empty()) std::memcpy(record.bytes.data() + offset + 1, text.data(), text.size());
  };
  record.bytes[ContentRecord102::kValue1] = value1;
  put(ContentRecord102::kText1, text1);
  put(ContentRecord102::kText2, text2);
  put(ContentRecord102::kText3, text3);
  return std::string(reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size());
}

// n layout-102 records ("record 0", "record 1", ...).
inline std::string Records102(int n) {
  std::string bytes;
  for (int i = 0; i < n; ++i) bytes += Record102("record " + std::to_string(i));
  return bytes;
}

// n zero-filled records of layout 103.
inline std::string Records103(int n) {
  return std::string(static_cast<std::size_t>(n) * ContentRecord103::kSize, '\0');
}

// A project file's text: section KWJ with the three keys (contents in code page 932).
inline std::string ProjectText(std::string_view version, std::string_view count, std::string_view contents) {
  return "[KWJ]\r\nVersion=" + std::string(version) + "\r\nCount=" + std::string(count) +
         "\r\nKWT=" + std::string(contents) + "\r\n";
}

// kwtconv, started as a user starts it.
inline ProcessResult Kwtconv(const std::vector<std::string>& arguments, bool readOutput = true) {
  return RunProcess(KWT_KWTCONV_PATH, arguments, readOutput);
}

}  // namespace kwt::testing
