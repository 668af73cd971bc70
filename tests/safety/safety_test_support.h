// Shared by the safety tests: projects of real files in a private folder, the
// bytes a correct conversion must produce, and guards that undo what a test
// did to the file system.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_test_support.h"
#include "convert/content_records.h"
#include "raised.h"
#include "runtime/error_text.h"
#include "runtime/ini_file.h"

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kwt::testing {

// A project file's section KWJ with its three keys (contents in code page 932).
inline std::string Kwj(std::string_view version, std::string_view count, std::string_view contents) {
  return "[KWJ]\r\nVersion=" + std::string(version) + "\r\nCount=" + std::string(count) +
         "\r\nKWT=" + std::string(contents) + "\r\n";
}

// The records converted as a pass converts them: the first count records of
// the source, each mapped into one target buffer that lives for the whole pass.
template <typename Source, typename Target, auto Map>
std::string ConvertedRecords(std::string_view source, int count) {
  Source from;
  Target to;
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    source.substr(static_cast<std::size_t>(i) * Source::kSize, Source::kSize)
        .copy(reinterpret_cast<char*>(from.bytes.data()), Source::kSize);
    Map(from, to);
    bytes.append(reinterpret_cast<const char*>(to.bytes.data()), Target::kSize);
  }
  return bytes;
}

inline std::string To103Records(std::string_view records102, int count) {
  return ConvertedRecords<ContentRecord102, ContentRecord103, MapTo103>(records102, count);
}
inline std::string To140Records(std::string_view records103, int count) {
  return ConvertedRecords<ContentRecord103, ContentRecord140, MapTo140>(records103, count);
}

// The project file's text once a pass has stamped version into it.
inline std::string StampedProject(std::string_view text, int version) {
  TMemIniFile store = TMemIniFile::FromText("project", text);
  store.WriteNumber("KWJ", "Version", version);
  return store.SavedText();
}

// A file's bytes, read in one block (large files are read often here).
inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path.string();
  in.seekg(0, std::ios::end);
  std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// A file's bytes and modification time: equal states mean an untouched file.
struct FileState {
  std::string bytes;
  std::filesystem::file_time_type time;
  bool operator==(const FileState&) const = default;
};
inline FileState StateOf(const std::filesystem::path& path) {
  return {ReadWhole(path), std::filesystem::last_write_time(path)};
}

// Sets or clears the append-only flag of a folder (chattr +a): files may be
// made in it, never removed or moved. False where the file system keeps no
// such flag or the user may not set it (only root may).
inline bool SetAppendOnly(const std::filesystem::path& folder, bool on) {
#ifdef __linux__
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  int flags = 0;
  bool done = ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
    done = ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(descriptor);
  return done;
#else
  (void)folder;
  (void)on;
  return false;
#endif
}

// Gives write permission back to everything below path when the test ends, so
// that read-only (and append-only) files and folders go away with their folder.
class WritableAgain {
 public:
  explicit WritableAgain(std::filesystem::path path) : path_(std::move(path)) {}
  ~WritableAgain() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    (void)SetAppendOnly(path_, false);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  WritableAgain(const WritableAgain&) = delete;
  WritableAgain& operator=(const WritableAgain&) = delete;

 private:
  std::filesystem::path path_;
};

// The first line of text, with its line break.
inline std::string FirstLine(std::string_view text) {
  return std::string(text.substr(0, text.find('\n') + 1));
}

// What kwtconv prints on the standard error when a project (a UTF-8 path)
// fails with message (code page 932).
inline std::string ErrorLine(const std::string& project, std::string_view message) {
  return "kwtconv: " + project + ": error: " + Utf8(WithClosingPeriod(message)) + "\n";
}

}  // namespace kwt::testing
