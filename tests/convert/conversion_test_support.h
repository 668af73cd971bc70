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
#include "kit/temp_folder.h"
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

// What a project's files hold at one moment, to prove that nothing changed.
struct Snapshot {
  std::string bytes;
  std::filesystem::file_time_type written;
  bool operator==(const Snapshot&) const = default;
};

inline Snapshot Take(const TempFolder& folder, std::string_view name) {
  return {folder.Read(name), std::filesystem::last_write_time(folder.Path(name))};
}

}  // namespace kwt::testing
