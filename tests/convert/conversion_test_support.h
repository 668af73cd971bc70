// A face that records what a conversion shows, and projects made of real files
// in a private temporary folder, for the conversion's tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion.h"
#include "kit/scoped_temp_dir.h"
#include "runtime/encoding.h"
#include "runtime/texts.h"

namespace kwt::testing {

// Every setting in order, as "S:" (status) or "T:" (target) and the text.
class RecordingFace : public ConversionFace {
 public:
  void SetStatus(std::string_view text) override {
    log.push_back("S:" + std::string(text));
    if (onStatus) onStatus(text);
  }
  void SetTarget(std::string_view text) override { log.push_back("T:" + std::string(text)); }
  TextMeasure& TargetMeasure() override { return measure; }
  std::int32_t TargetWidth() override { return width; }

  std::vector<std::string> log;
  ByteWidthMeasure measure;
  std::int32_t width = 145;
  // Runs after a status is recorded: the tests' way into the middle of a pass.
  std::function<void(std::string_view)> onStatus;
};

inline std::string Status(std::string_view text) {
  return "S:" + std::string(text);
}
inline std::string Target(std::string_view text) {
  return "T:" + std::string(text);
}
inline std::string Progress(int record) {
  return Status(std::string(texts::kStatusProgressPrefix) + std::to_string(record) +
                std::string(texts::kStatusProgressSuffix));
}

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// A fresh folder, removed with everything in it at the end. Names inside it
// are code page 932 bytes, as the core takes them.
class ProjectFolder {
 public:
  ProjectFolder() {
#ifdef _WIN32
    root_ = encoding::WideToCp932(folder_.wstring()).value() + kSeparator;
#else
    root_ = encoding::Utf8ToCp932(folder_.string()).value() + kSeparator;
#endif
  }
  ProjectFolder(const ProjectFolder&) = delete;
  ProjectFolder& operator=(const ProjectFolder&) = delete;

  const std::string& Root() const {
    return root_;
  }
  // The core's path of a name relative to the folder ('/' or '\' inside it
  // must be the platform's separator).
  std::string PathOf(std::string_view name) const {
    return root_ + std::string(name);
  }
  std::filesystem::path System(std::string_view name) const {
#ifdef _WIN32
    return folder_ / encoding::Cp932ToWide(name).value();
#else
    return folder_ / encoding::Cp932ToUtf8(name).value();
#endif
  }
  bool Exists(std::string_view name) const {
    return std::filesystem::exists(System(name));
  }
  std::string Read(std::string_view name) const {
    std::ifstream in(System(name), std::ios::binary);
    if (!in) ADD_FAILURE() << "cannot read " << System(name).string();
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(System(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << System(name).string();
  }
  void MakeFolder(std::string_view name) const {
    std::filesystem::create_directories(System(name));
  }
  void MakeReadOnly(std::string_view name) const {
    using std::filesystem::perms;
    std::filesystem::permissions(System(name), perms::owner_write | perms::group_write | perms::others_write,
                                 std::filesystem::perm_options::remove);
  }

 private:
  ScopedTempDir dir_{"kwt-convert-"};
  const std::filesystem::path& folder_ = dir_.path();
  std::string root_;
};

// What a project's files hold at one moment, to prove that nothing changed.
struct Snapshot {
  std::string bytes;
  std::filesystem::file_time_type written;
  bool operator==(const Snapshot&) const = default;
};

inline Snapshot Take(const ProjectFolder& folder, std::string_view name) {
  return {folder.Read(name), std::filesystem::last_write_time(folder.System(name))};
}

}  // namespace kwt::testing
