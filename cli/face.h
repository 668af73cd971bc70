// The conversion's face on a command line: the status line and the target box
// become a trace, a progress line on a terminal, or nothing at all.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/console.h"
#include "convert/conversion.h"
#include "runtime/path_shortening.h"

namespace kwt::cli {

enum class Display {
  // Nothing while a project converts (not a terminal, or --quiet).
  Silent,
  // Every setting, one line each: "status\ttext" or "target\ttext".
  Trace,
  // One line on the terminal, redrawn in place at most ten times a second.
  ProgressLine,
};

// Columns that the progress line keeps for the status text before the target:
// the progress text with a ten-digit counter, and one space.
inline constexpr std::int32_t kCounterRoom = 27;
// The target width when the output is not a terminal.
inline constexpr std::int32_t kDefaultTargetWidth = 60;
// The narrowest target width chosen from a terminal's width.
inline constexpr std::int32_t kMinimumTargetWidth = 8;
// The shortest time between two drawings of the progress line.
inline constexpr std::chrono::milliseconds kRedrawInterval{100};

// The target width for a terminal of the given columns (0: not a terminal).
std::int32_t TargetWidthFor(int terminalColumns);

class CommandLineFace : public ConversionFace {
 public:
  using Clock = std::chrono::steady_clock::time_point (*)();

  // lineColumns is the terminal's width for the progress line (0: unknown).
  CommandLineFace(Console& console, Display display, std::int32_t targetWidth, int lineColumns = 0,
                  Clock clock = &std::chrono::steady_clock::now);

  void SetStatus(std::string_view text) override;
  void SetTarget(std::string_view text) override;
  TextMeasure& TargetMeasure() override { return measure_; }
  std::int32_t TargetWidth() override { return targetWidth_; }
  bool StopRequested() override;

  // Starts the next project with an empty status and target.
  void BeginProject();
  // Clears the progress line, so that the project's result line takes its place.
  void EndProject();

  // The latest status text of the current project (empty when none was set).
  const std::string& Status() const noexcept { return status_; }
  // How many times the progress line was drawn.
  std::size_t Drawings() const noexcept { return drawings_; }

 private:
  void Trace(std::string_view kind, std::string_view text);
  // Draws the progress line when the last drawing is old enough.
  void MaybeDraw();
  void Draw();

  Console& console_;
  Display display_;
  std::int32_t targetWidth_;
  int lineColumns_;
  Clock clock_;
  ByteWidthMeasure measure_;
  std::string status_;
  std::string target_;
  std::string line_;
  // Columns of the progress line on screen now; 0 when none is shown.
  std::size_t shownColumns_ = 0;
  bool drawnOnce_ = false;
  std::chrono::steady_clock::time_point lastDrawing_{};
  std::size_t drawings_ = 0;
};

}  // namespace kwt::cli
