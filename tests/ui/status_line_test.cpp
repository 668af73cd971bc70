// The status line as a conversion drives it: every new text looks exactly as
// a whole draw of it, however little of it changed; no look at the screen
// during a long conversion finds the line blank or half drawn; and the window
// answers other programs throughout a conversion while its input waits.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <set>
#include <thread>

#include "frame/display_text.h"
#include "kit/wait_until.h"
#include "runtime/cp932_text.h"
#include "runtime/platform_faults.h"
#include "runtime/texts.h"
#include "ui/device_context.h"
#include "ui/status_line.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

std::string Progress(int record) {
  return std::string(texts::kStatusProgressPrefix) + std::to_string(record) +
         std::string(texts::kStatusProgressSuffix);
}

std::vector<COLORREF> PixelsOf(const StatusLinePicture& picture) {
  return CaptureFrom(picture.Surface(), POINT{0, 0}, picture.Size());
}

class StatusLineTest : public WindowTest {
 protected:
  SIZE LineSize() const {
    RECT bounds{};
    GetClientRect(form_->Txt3(), &bounds);
    return SIZE{bounds.right, bounds.bottom};
  }
  std::unique_ptr<StatusLinePicture> NewPicture() const {
    const ClientDC dc = ClientDCOf(form_->Txt3());
    return StatusLinePicture::Create(dc.get(), LineSize(), form_->Font());
  }
  // The line's pixels when text is drawn whole, on a line that showed nothing.
  std::vector<COLORREF> WholeDraw(std::string_view text) const {
    const std::unique_ptr<StatusLinePicture> picture = NewPicture();
    picture->Compose(Cp932ToWideLossy(text));
    return PixelsOf(*picture);
  }
  // The status line as the screen shows it, read from the screen itself.
  std::vector<COLORREF> OnScreen() const {
    POINT origin{0, 0};
    ClientToScreen(form_->Txt3(), &origin);
    const ClientDC screen = ClientDCOf(nullptr);
    return CaptureFrom(screen.get(), origin, LineSize());
  }

  TempFolder folder_;
};

TEST_F(StatusLineTest, EachTextLooksAsAWholeDrawOfItWhateverCameBefore) {
  const std::string tooWide(120, 'W');  // wraps onto a second line
  struct Row {
    std::string before;
    std::string after;
    // Only the changed digits are drawn: the text keeps its width.
    bool onlyTheTail;
  };
  const Row rows[] = {
      {Progress(0), Progress(1), true},
      {Progress(8), Progress(9), true},
      {Progress(12345), Progress(12346), true},
      {Progress(12399), Progress(12400), true},
      {Progress(19999), Progress(10000), true},
      // A digit more or less moves the centred text.
      {Progress(9), Progress(10), false},
      {Progress(99999), Progress(100000), false},
      {Progress(1000), Progress(999), false},
      {"", Progress(0), false},
      {Progress(7), std::string(texts::kStatusFinishing), false},
      {std::string(texts::kStatusFinishing), std::string(texts::kStatusSuccess), false},
      {std::string(texts::kStatusSuccess), Progress(3), false},
      {Progress(5), "", false},
      {Progress(5), Progress(5) + "&", false},
      {tooWide, tooWide.substr(0, 119) + "X", false},
      {tooWide, Progress(1), false},
      {Progress(1), tooWide, false},
  };
  const std::unique_ptr<StatusLinePicture> picture = NewPicture();
  ASSERT_NE(picture, nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.before + " -> " + row.after);
    picture->Compose(Cp932ToWideLossy(row.before));
    const RECT changed = picture->Compose(Cp932ToWideLossy(row.after));
    EXPECT_EQ(PixelsOf(*picture), WholeDraw(row.after));
    const bool tailOnly = changed.left > 0 && changed.right - changed.left < LineSize().cx;
    EXPECT_EQ(tailOnly, row.onlyTheTail);
  }
  // The same text again changes nothing.
  const RECT unchanged = picture->Compose(Cp932ToWideLossy(rows[0].after));
  picture->Compose(Cp932ToWideLossy(rows[0].after));
  EXPECT_FALSE(IsRectEmpty(&unchanged));
  const RECT again = picture->Compose(Cp932ToWideLossy(rows[0].after));
  EXPECT_TRUE(IsRectEmpty(&again));
}

TEST_F(StatusLineTest, ACountingLineMatchesWholeDrawsAllTheWay) {
  const std::unique_ptr<StatusLinePicture> picture = NewPicture();
  ASSERT_NE(picture, nullptr);
  for (int record = 0; record <= 20000; ++record) {
    picture->Compose(Cp932ToWideLossy(Progress(record)));
    if (record % 997 == 0 || record == 9 || record == 10 || record == 9999 || record == 10000) {
      SCOPED_TRACE(record);
      ASSERT_EQ(PixelsOf(*picture), WholeDraw(Progress(record)));
    }
  }
}

TEST_F(StatusLineTest, TheWindowShowsTheComposedLineAndRepaintsIt) {
  TfrmMain& form = Form();
  UpdateWindow(form.Handle());
  for (const std::string& text : {Progress(12345), Progress(12346), Progress(100000), Progress(99)}) {
    SCOPED_TRACE(text);
    form.SetStatus(text);
    SIZE size{};
    EXPECT_EQ(Capture(form.Txt3(), size), WholeDraw(text));
  }
  InvalidateRect(form.Txt3(), nullptr, TRUE);
  UpdateWindow(form.Txt3());
  SIZE size{};
  EXPECT_EQ(Capture(form.Txt3(), size), WholeDraw(Progress(99)));
}

// What the screen showed of the line, looked at as often as possible during
// a conversion of count records, against the texts the line was given.
struct Looks {
  int taken = 0;
  int blank = 0;
  // Neither blank nor any text the line was given: a half-drawn line.
  int torn = 0;
  int mixedByDisplay = 0;
  int distinct = 0;
};

TEST_F(StatusLineTest, NoLookAtTheScreenDuringAConversionFindsTheLineBlankOrHalfDrawn) {
  constexpr int kRecords = 80000;
  const std::string project = WriteProject(folder_, kRecords, kRecords);
  TfrmMain& form = Form();
  SetForegroundWindow(form.Handle());
  // A text before the conversion, so that a line without ink is never right.
  form.SetStatus(texts::kStatusSuccess);
  Pump();

  std::atomic<bool> done{false};
  std::vector<std::vector<COLORREF>> looks;
  std::thread watcher([&] {
    // A picture every millisecond, 2000 at most, until the conversion is done.
    kwt::testing::WaitUntil(
        [&] {
          if (done.load() || looks.size() >= 2000) return true;
          looks.push_back(OnScreen());
          return false;
        },
        std::chrono::minutes(10));
  });
  form.Convert(project);
  done = true;
  watcher.join();
  ASSERT_EQ(frame::WindowText(form.Txt3()), texts::kStatusSuccess);

  // The line shows the texts in the order they were set, so each look is
  // matched from the last match on.
  std::vector<std::string> texts{std::string(texts::kStatusSuccess)};
  for (int record = 0; record < kRecords; ++record) texts.push_back(Progress(record));
  texts.push_back(std::string(texts::kStatusFinishing));
  texts.push_back(std::string(texts::kStatusSuccess));
  const std::unique_ptr<StatusLinePicture> picture = NewPicture();
  const std::vector<COLORREF> blank = WholeDraw("");
  Looks seen;
  std::size_t next = 0;
  std::size_t lastMatch = texts.size();
  for (const std::vector<COLORREF>& look : looks) {
    ++seen.taken;
    if (look == blank) {
      ++seen.blank;
      continue;
    }
    // A look is at most this many records behind what was set when it was
    // taken; the closing texts may follow any record, however far behind.
    constexpr std::size_t kLookAhead = 8000;
    std::vector<std::size_t> candidates;
    for (std::size_t index = next; index < std::min(texts.size(), next + kLookAhead); ++index) {
      candidates.push_back(index);
    }
    for (std::size_t index = texts.size() - 2; index < texts.size(); ++index) {
      if (index >= next + kLookAhead) candidates.push_back(index);
    }
    std::optional<std::size_t> match;
    std::size_t closest = next;
    std::size_t closestDiffer = look.size() + 1;
    for (const std::size_t candidate : candidates) {
      picture->Compose(Cp932ToWideLossy(texts[candidate]));
      const std::vector<COLORREF> pixels = PixelsOf(*picture);
      if (pixels == look) {
        match = candidate;
        break;
      }
      std::size_t differ = 0;
      for (std::size_t i = 0; i < look.size(); ++i) differ += pixels[i] != look[i] ? 1 : 0;
      if (differ < closestDiffer) {
        closestDiffer = differ;
        closest = candidate;
      }
    }
    // Wine hands the window's pixels to the X server, which may copy them
    // while the next number is drawn: a look that differs from a text in a
    // few pixels of one or two digit cells is that display's mix, not the
    // program's (on a slow display, up to about fifty where two five-digit
    // numbers meet). A line drawn in steps (filled, then written) differs in
    // all of its text, several hundred pixels.
    constexpr std::size_t kDisplayMix = 64;
    if (!match && closestDiffer <= kDisplayMix) {
      ++seen.mixedByDisplay;
      continue;
    }
    if (!match) {
      ++seen.torn;
      std::printf("half drawn: closest %s, %zu pixels differ\n", texts[closest].c_str(), closestDiffer);
      continue;
    }
    const std::size_t candidate = *match;
    if (candidate != lastMatch) ++seen.distinct;
    lastMatch = candidate;
    next = candidate;
  }
  std::printf(
      "looks at the line: %d taken, %d blank, %d half drawn, %d mixed by the display, %d distinct texts\n",
      seen.taken, seen.blank, seen.torn, seen.mixedByDisplay, seen.distinct);
  EXPECT_GE(seen.taken, 100);
  EXPECT_GE(seen.distinct + (seen.mixedByDisplay > 0 ? 1 : 0), 3);
  EXPECT_EQ(seen.blank, 0);
  EXPECT_EQ(seen.torn, 0);
}

class AnsweringTest : public StatusLineTest {
 protected:
  void TearDown() override {
    platform::faults::ClearPlan();
    StatusLineTest::TearDown();
  }
};

TEST_F(AnsweringTest, ALongConversionIsNeverTakenForHungAndAnswersOtherPrograms) {
  // A slow disk: each record's write takes 6 ms, so the conversion takes
  // longer than the five seconds after which the system calls a window hung.
  constexpr int kRecords = 1000;
  const std::string project = WriteProject(folder_, kRecords, kRecords);
  platform::faults::Plan slow;
  slow.everyWriteTakes = std::chrono::milliseconds(6);
  platform::faults::SetPlan(slow);
  TfrmMain& form = Form();
  const std::string targetBefore = "C:\\before.KWT";
  form.SetTarget(targetBefore);

  std::atomic<bool> done{false};
  int hung = 0;
  int polls = 0;
  int unanswered = 0;
  double slowestAnswerMs = 0;
  std::set<std::string> textsRead;
  std::atomic<bool> otherProgramEnded{false};
  std::atomic<bool> counterRead{false};
  std::thread otherProgram([&] {
    // Looks every 50 ms, as a screen reader or the system's hang check would.
    kwt::testing::WaitUntil(
        [&] {
          if (done.load()) return true;
          if (IsHungAppWindow(form.Handle())) ++hung;
          ++polls;
          for (HWND control : {form.Txt3(), form.Edit1()}) {
            wchar_t text[256] = {};
            DWORD_PTR length = 0;
            const auto start = std::chrono::steady_clock::now();
            if (SendMessageTimeoutW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text),
                                    SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &length) == 0) {
              ++unanswered;
              continue;
            }
            const std::chrono::duration<double, std::milli> waited = std::chrono::steady_clock::now() - start;
            slowestAnswerMs = std::max(slowestAnswerMs, waited.count());
            if (control != form.Txt3()) continue;
            textsRead.insert(WideToCp932Lossy(text));
            if (WideToCp932Lossy(text).starts_with(texts::kStatusProgressPrefix)) counterRead = true;
          }
          return false;
        },
        std::chrono::minutes(10), std::chrono::milliseconds(50));
    otherProgramEnded = true;
  });
  // A click that another program sends once the records are being counted
  // waits for the conversion, as the user's own input does.
  std::thread clicker([&] {
    kwt::testing::WaitUntil([&] { return counterRead.load(); }, std::chrono::seconds(5));
    SendMessageW(form.BitBtn1(), BM_CLICK, 0, 0);
  });
  const auto start = std::chrono::steady_clock::now();
  int dialogsDuringConversion = 0;
  int dialogsAfter = 0;
  bool converting = true;
  ModalAnswerer answerer([&](const ModalRecord& record) {
    ++(converting ? dialogsDuringConversion : dialogsAfter);
    PressCancel(record);
  });
  form.Convert(project);
  converting = false;
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  clicker.join();
  done = true;
  // A question asked just as the conversion ended is answered too.
  AnswerSentMessagesUntil(otherProgramEnded);
  otherProgram.join();
  platform::faults::ClearPlan();

  std::printf("conversion took %.1f s; %d polls, %d hung, %d unanswered, slowest answer %.0f ms\n",
              took.count(), polls, hung, unanswered, slowestAnswerMs);
  ASSERT_GT(took.count(), 5.5);
  EXPECT_EQ(frame::WindowText(form.Txt3()), texts::kStatusSuccess);
  EXPECT_EQ(hung, 0);
  EXPECT_EQ(unanswered, 0);
  EXPECT_LT(slowestAnswerMs, 1000);
  // The record counter was readable while it advanced.
  EXPECT_GE(textsRead.size(), 10u);
  EXPECT_EQ(dialogsDuringConversion, 0);
  Pump();
  EXPECT_EQ(dialogsAfter, 1);
}

}  // namespace
}  // namespace kwt::ui::testing
