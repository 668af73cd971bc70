// The command line's face without a process: what reaches the console in each
// display, how often the progress line is drawn, and how text is fitted.
#include "cli/face.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/console.h"
#include "runtime/texts.h"

namespace kwt::cli {
namespace {

// Keeps what was written; a flush marks one screen write.
class FakeConsole : public Console {
 public:
  void Write(Stream stream, std::string_view text) override { (stream == Stream::Out ? out : err) += text; }
  void Flush(Stream stream) override {
    if (stream == Stream::Out) ++outFlushes;
  }
  bool IsTerminal(Stream) override { return true; }
  int Columns(Stream) override { return 80; }

  std::string out;
  std::string err;
  int outFlushes = 0;
};

std::chrono::steady_clock::time_point fake_now{};
std::chrono::steady_clock::time_point FakeClock() {
  return fake_now;
}

// A drawing of the progress line: back to the line's start, then the text.
std::string Drawn(std::string_view text) {
  std::string drawn(1, '\r');
  drawn += text;
  return drawn;
}

std::string Progress(int record) {
  return std::string(texts::kStatusProgressPrefix) + std::to_string(record) +
         std::string(texts::kStatusProgressSuffix);
}

TEST(CommandLineFace, TraceWritesEverySettingAsItHappens) {
  FakeConsole console;
  CommandLineFace face(console, Display::Trace, 60, 0, &FakeClock);
  face.SetTarget("C:\\a.KWT");
  face.SetStatus(Progress(0));
  face.SetStatus(Progress(0));
  face.SetTarget("C:\\a.KWT");
  face.SetStatus(texts::kStatusSuccess);
  EXPECT_EQ(console.out, "target\tC:\\a.KWT\nstatus\t" + Progress(0) + "\nstatus\t" + Progress(0) +
                             "\ntarget\tC:\\a.KWT\nstatus\t" + std::string(texts::kStatusSuccess) + "\n");
  // Each line reaches the reader at once, also when the clock stands still.
  EXPECT_EQ(console.outFlushes, 5);
  EXPECT_EQ(face.Status(), texts::kStatusSuccess);
  EXPECT_EQ(face.Drawings(), 0u);
}

TEST(CommandLineFace, SilentWritesNothingButRemembersTheStatus) {
  FakeConsole console;
  CommandLineFace face(console, Display::Silent, 60, 80, &FakeClock);
  face.SetTarget("a.KWT");
  for (int i = 0; i < 1000; ++i) face.SetStatus(Progress(i));
  face.EndProject();
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(face.Status(), Progress(999));
  face.BeginProject();
  EXPECT_EQ(face.Status(), "");
}

TEST(CommandLineFace, ProgressLineIsDrawnAtMostTenTimesASecond) {
  FakeConsole console;
  CommandLineFace face(console, Display::ProgressLine, 60, 80, &FakeClock);
  // A million records while the clock stands still: one drawing.
  for (int i = 0; i < 1000000; ++i) face.SetStatus(Progress(i));
  EXPECT_EQ(face.Drawings(), 1u);
  EXPECT_EQ(console.out, Drawn(Progress(0)));

  // Half an interval per record: every second record is drawn, with the
  // texts of that moment.
  for (int i = 0; i < 10; ++i) {
    fake_now += std::chrono::milliseconds(50);
    face.SetStatus(Progress(i));
  }
  EXPECT_EQ(face.Drawings(), 6u);
  EXPECT_TRUE(console.out.ends_with(Drawn(Progress(9)))) << console.out;

  // A target set later joins the line at the next drawing.
  fake_now += kRedrawInterval;
  face.SetTarget("b.KWT");
  EXPECT_TRUE(console.out.ends_with(Drawn(Progress(9) + " b.KWT"))) << console.out;
  EXPECT_EQ(static_cast<std::size_t>(console.outFlushes), face.Drawings());
}

TEST(CommandLineFace, ProgressLineWipesLongerTextsAndClearsAtTheEnd) {
  FakeConsole console;
  CommandLineFace face(console, Display::ProgressLine, 60, 80, &FakeClock);
  face.SetStatus("long status text");
  fake_now += kRedrawInterval;
  face.SetStatus("short");
  EXPECT_EQ(console.out, "\rlong status text\rshort           ");
  console.out.clear();
  face.EndProject();
  EXPECT_EQ(console.out, Drawn(std::string(16, ' ') + "\r"));

  // The next project's first text is drawn at once; nothing is left to clear twice.
  console.out.clear();
  face.BeginProject();
  face.SetStatus("next");
  EXPECT_EQ(console.out, "\rnext");
}

TEST(CommandLineFace, ProgressLineStaysWithinTheTerminal) {
  FakeConsole console;
  // 11 columns: 10 are used, the last stays free.
  CommandLineFace face(console, Display::ProgressLine, 60, 11, &FakeClock);
  // ア (83 41) would be cut in half at the tenth byte.
  face.SetStatus("123456789\x83\x41xyz");
  EXPECT_EQ(console.out, "\r123456789");
}

TEST(TargetWidthFor, TerminalLessTheCounterOrSixty) {
  EXPECT_EQ(TargetWidthFor(0), 60);
  EXPECT_EQ(TargetWidthFor(80), 80 - 1 - kCounterRoom);
  EXPECT_EQ(TargetWidthFor(200), 200 - 1 - kCounterRoom);
  EXPECT_EQ(TargetWidthFor(20), kMinimumTargetWidth);
  // The counter's room holds the progress text with the widest count.
  const std::string widest = Progress(2147483647);
  EXPECT_EQ(static_cast<std::int32_t>(widest.size()) + 1, kCounterRoom);
}

}  // namespace
}  // namespace kwt::cli
