// The face that shows nothing, for tests, benchmarks and fuzzers that drive
// the core alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion.h"
#include "runtime/path_shortening.h"

namespace kwt::testing {

// Counts the bytes of every text, so that a benchmark's texts cannot be
// optimised away; keeps the status texts themselves only when asked, so that
// the count alone costs nothing per record.
class QuietFace : public ConversionFace {
 public:
  explicit QuietFace(bool keepStatuses = false) : keepStatuses_(keepStatuses) {}

  void SetStatus(std::string_view text) override {
    textBytes += text.size();
    if (keepStatuses_) statuses.emplace_back(text);
  }
  void SetTarget(std::string_view text) override { textBytes += text.size(); }
  TextMeasure& TargetMeasure() override { return measure_; }
  std::int32_t TargetWidth() override { return 145; }

  std::size_t textBytes = 0;
  std::vector<std::string> statuses;

 private:
  bool keepStatuses_;
  ByteWidthMeasure measure_;
};

}  // namespace kwt::testing
