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
    if (stream == Stream::Out) ++out_flushes;
  }
  bool IsTerminal(Stream) override { return true; }
  int Columns(Stream) override { return 80; }

  std::string out;
  std::string err;
  int out_flushes = 0;
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
  EXPECT_EQ(console.out_flushes, 5);
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
  EXPECT_EQ(static_cast<std::size_t>(console.out_flushes), face.Drawings());
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

TEST(FitColumns, NeverCutsADoubleByteCharacter) {
  struct Case {
    std::string_view text;
    std::size_t columns;
    std::string_view expected;
  };
  const Case cases[] = {
      {"abc", 5, "abc"},
      {"abc", 3, "abc"},
      {"abc", 2, "ab"},
      {"abc", 0, ""},
      {"a\x83\x41", 2, "a"},
      {"a\x83\x41", 3, "a\x83\x41"},
      // 表 (95 5C) followed by a letter: the backslash byte is a trail byte.
      {"\x95\x5C"
       "b",
       2, "\x95\x5C"},
      {"\x95\x5C"
       "b",
       1, ""},
      {"\x81\x81\x81\x81", 3, "\x81\x81"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.text) + " in " + std::to_string(row.columns));
    EXPECT_EQ(FitColumns(row.text, row.columns), row.expected);
  }
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

TEST(Cp932ToUtf8Lossy, ConvertsWhatItCanAndMarksTheRest) {
  struct Case {
    std::string_view cp932;
    std::string_view utf8;
  };
  const Case cases[] = {
      {"", ""},
      {"plain ASCII", "plain ASCII"},
      {"C:\\\x95\x5C\\a", "C:\\\xE8\xA1\xA8\\a"},
      // A lead byte cut off at the end.
      {"ab\x83", "ab\xEF\xBF\xBD"},
      // A lead byte followed by a byte that cannot be its trail: only the lead is lost.
      {"\x83\x0A"
       "x",
       "\xEF\xBF\xBD\nx"},
      {"\x83\x41\xA0\x83\x41", "\xE3\x82\xA2\xEF\xBF\xBD\xE3\x82\xA2"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.cp932));
    EXPECT_EQ(Cp932ToUtf8Lossy(row.cp932), row.utf8);
  }
}

}  // namespace
}  // namespace kwt::cli
