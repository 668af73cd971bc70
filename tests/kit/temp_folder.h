// The one temporary folder of every test, benchmark and fuzzer: a name no
// other test process can pick, so that test programs run side by side (or
// twice at once) never share or delete each other's files, and the few file
// helpers the tests use on what they put there.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "runtime/encoding.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kwt::testing {

namespace detail {
inline unsigned long ProcessId() {
#ifdef _WIN32
  return static_cast<unsigned long>(_getpid());
#else
  return static_cast<unsigned long>(getpid());
#endif
}
}  // namespace detail

// Creates a folder that did not exist before under the system's temporary
// folder: prefix, process id, a counter of this process and a random part
// (the random part also keeps apart processes that reuse an id, as Wine's do).
// base is the system's temporary folder unless given.
inline std::filesystem::path CreateUniqueTempDir(std::string_view prefix, std::filesystem::path base = {}) {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  if (base.empty()) base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path =
        base / (std::string(prefix) + std::to_string(detail::ProcessId()) + "-" + std::to_string(serial++) +
                "-" + std::to_string(random()));
    // create_directory reports false for a folder that is already there: never
    // take over (or later delete) a folder made by someone else.
    if (std::filesystem::create_directory(path)) return path;
  }
  throw std::runtime_error("no fresh temporary folder under " + base.string());
}

// Removes path and everything below it; read-only files and folders that a
// test left behind go as well.
inline void RemoveTempDir(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (const auto& entry : fs::recursive_directory_iterator(path, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path, ignored);
}

// The whole file's bytes; raises when it cannot be read, so that the test
// fails there rather than at a comparison with nothing.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file's bytes (making it when missing); raises when it cannot.
inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Takes every write permission away from a file or folder (on Windows, a
// file's read-only attribute).
inline void MakeReadOnly(const std::filesystem::path& path) {
  using std::filesystem::perms;
  std::filesystem::permissions(path, perms::owner_write | perms::group_write | perms::others_write,
                               std::filesystem::perm_options::remove);
}

// How a test spells the names of the files in its folder: as the core takes
// them (code page 932 bytes, the platform's separator) or as the command line
// takes them (UTF-8, '/' on every platform).
enum class NameBytes { Cp932, Utf8 };

// A fresh folder that lives as long as this object, removed with everything in
// it. Names given to the members are relative to the folder and spelt as
// names says.
class TempFolder {
 public:
  explicit TempFolder(NameBytes names = NameBytes::Cp932, std::string_view prefix = "kwt-",
                      std::filesystem::path base = {})
      : path_(CreateUniqueTempDir(prefix, std::move(base))), names_(names) {}
  explicit TempFolder(std::string_view prefix, std::filesystem::path base = {})
      : TempFolder(NameBytes::Cp932, prefix, std::move(base)) {}
  ~TempFolder() { RemoveTempDir(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // The system's path of name.
  std::filesystem::path Path(std::string_view name) const {
    if (names_ == NameBytes::Utf8)
      return (path_ / std::filesystem::path(std::u8string(name.begin(), name.end()))).make_preferred();
#ifdef _WIN32
    return (path_ / encoding::Cp932ToWide(name).value()).make_preferred();
#else
    return path_ / encoding::Cp932ToUtf8(name).value();
#endif
  }
  // The core's path of name: code page 932 bytes, as a project names a file.
  std::string PathOf(std::string_view name) const {
    if (names_ == NameBytes::Utf8) return encoding::Utf8ToCp932(Utf8(name)).value();
#ifdef _WIN32
    return encoding::WideToCp932(path_.wstring()).value() + '\\' + std::string(name);
#else
    return encoding::Utf8ToCp932(path_.string()).value() + '/' + std::string(name);
#endif
  }
  // The system's path of name in UTF-8, as the command line takes it.
  std::string Utf8(std::string_view name) const {
    const std::u8string text = Path(name).u8string();
    return std::string(text.begin(), text.end());
  }

  // Writes the file, making the folders above it.
  void Write(std::string_view name, std::string_view bytes) const {
    std::filesystem::create_directories(Path(name).parent_path());
    WriteBytes(Path(name), bytes);
  }
  std::string Read(std::string_view name) const {
    return ReadBytes(Path(name));
  }
  // The file's bytes, or nothing when it is missing or cannot be read: for
  // looks at a file that may not be there, or from a thread of the test's own.
  std::string ReadIfAny(std::string_view name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(std::string_view name) const {
    return std::filesystem::exists(Path(name));
  }
  void MakeFolder(std::string_view name) const {
    std::filesystem::create_directories(Path(name));
  }
  void MakeReadOnly(std::string_view name) const {
    testing::MakeReadOnly(Path(name));
  }

  // Every file below the folder with its bytes and modification time; names
  // relative to the folder, in UTF-8.
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
      const std::u8string name = entry.path().lexically_relative(path_).u8string();
      entries.push_back(
          {std::string(name.begin(), name.end()), ReadBytes(entry.path()), entry.last_write_time()});
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
  std::filesystem::path path_;
  NameBytes names_;
};

#ifndef _WIN32
// True when a user who is neither owner nor in the group may pass through
// path and every folder above it: what a test acting as another user needs.
// A private TMPDIR (mode 0700, as mktemp -d makes it) is no such place.
inline bool OthersCanReach(const std::filesystem::path& path) {
  for (std::filesystem::path at = std::filesystem::absolute(path);; at = at.parent_path()) {
    std::error_code error;
    const auto perms = std::filesystem::status(at, error).permissions();
    if (error || (perms & std::filesystem::perms::others_exec) == std::filesystem::perms::none) return false;
    if (at == at.root_path()) return true;
  }
}
#endif

}  // namespace kwt::testing
