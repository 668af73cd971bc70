// The application frame: the error box and its period rule, the boundary
// that reports errors, start-up failures with exit code 1, the program's exit
// codes on every route, and the small rules of the window's parts.
#include <stdexcept>

#include "frame/display_text.h"
#include "runtime/errors.h"
#include "runtime/texts.h"
#include "ui/actions.h"
#include "ui/focus_ring.h"
#include "ui/open_dialog.h"
#include "ui/ui_harness.h"

namespace kwt::ui::testing {
namespace {

using FrameTest = WindowTest;

TEST_F(FrameTest, ErrorBoxShowsTheMessageWithThePeriodRule) {
  struct Row {
    const char* name;
    std::string message;
    std::string shown;
  };
  const std::string endsWithStop =
      std::string(texts::kIoReadPastEnd) + std::string(texts::kIdeographicFullStop);
  const Row rows[] = {
      {"double-byte ending", std::string(texts::kIoReadPastEnd), std::string(texts::kIoReadPastEnd) + "."},
      {"ideographic full stop", endsWithStop, endsWithStop + "."},
      {"already a period", "done.", "done."},
      {"closing parenthesis", "I/O (103)", "I/O (103)"},
      {"letter", "abc", "abc."},
      {"empty", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetFocus(Form().Edit1());
    bool othersDisabled = false;
    ModalAnswerer answerer([&](const ModalRecord& record) {
      othersDisabled = !IsWindowEnabled(Form().Handle()) && !IsWindowEnabled(App().Handle());
      PressOk(record);
    });
    App().ShowErrorBox(EInOutError(row.message, 100));
    ASSERT_EQ(answerer.Records().size(), 1u);
    const ModalRecord& box = answerer.Records()[0];
    EXPECT_EQ(box.text, row.shown);
    EXPECT_EQ(box.caption, texts::kAppTitle);
    EXPECT_EQ(box.owner, App().Handle());
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_HAND));
    EXPECT_TRUE(othersDisabled);
    // Afterwards everything is enabled, active and focused as before.
    EXPECT_TRUE(IsWindowEnabled(Form().Handle()));
    EXPECT_TRUE(IsWindowEnabled(App().Handle()));
    EXPECT_EQ(GetActiveWindow(), Form().Handle());
    EXPECT_EQ(GetFocus(), Form().Edit1());
  }
}

TEST_F(FrameTest, BoundaryShowsExceptionsSilencesAbortsAndBoxesTheRest) {
  struct Row {
    const char* name;
    std::exception_ptr error;
    int boxes;
    std::string_view caption;
    std::string textStart;
  };
  const Row rows[] = {
      {"I/O error", std::make_exception_ptr(EInOutError(std::string(texts::kIoDiskFull), 101)), 1,
       texts::kAppTitle, std::string(texts::kIoDiskFull)},
      {"store error", std::make_exception_ptr(EFCreateError("x")), 1, texts::kAppTitle, "x."},
      {"abort", std::make_exception_ptr(EAbort("quiet")), 0, "", ""},
      {"not an Exception", std::make_exception_ptr(std::runtime_error("odd")), 1, texts::kAppErrorCaption,
       "std::runtime_error"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ModalAnswerer answerer([](const ModalRecord& record) { PressOk(record); });
    App().ReportUncaughtError(row.error);
    ASSERT_EQ(answerer.Records().size(), static_cast<std::size_t>(row.boxes));
    if (row.boxes == 0) continue;
    const ModalRecord& box = answerer.Records()[0];
    EXPECT_EQ(box.caption, row.caption);
    EXPECT_EQ(box.text.substr(0, row.textStart.size()), row.textStart);
  }
}

TEST_F(FrameTest, AnErrorInAMessageHandlerIsShownOnceAndTheLoopGoesOn) {
  Form().FileOpen1().BeforeExecute = [](TAction&) { throw EFOpenError("broken"); };
  ModalAnswerer answerer([](const ModalRecord& record) { PressOk(record); });
  SendMessageW(Form().BitBtn1(), BM_CLICK, 0, 0);
  Type({{'O', {VK_CONTROL}}});
  ASSERT_EQ(answerer.Records().size(), 2u) << "one box per click or key, no dialog";
  for (const ModalRecord& box : answerer.Records()) EXPECT_EQ(box.text, "broken.");
  EXPECT_FALSE(App().Terminated());
  EXPECT_TRUE(IsWindowEnabled(Form().Handle()));
}

TEST_F(FrameTest, ExitActionClosesTheMainWindowAndEndsTheRun) {
  EXPECT_TRUE(Form().FileExit1().Execute());
  Pump();
  EXPECT_TRUE(App().Terminated());
  EXPECT_TRUE(IsWindow(Form().Handle()));
}

TEST(StartUpTest, FailuresBeforeTheLoopShowTheGenericBoxAndEndWithCode1) {
  struct Row {
    const char* name;
    bool registerClassFirst;
    std::function<void(frame::Application&)> startUp;
    std::vector<std::string> textParts;
  };
  const std::string classError = std::string(texts::kWindowClassError) + ".";
  const Row rows[] = {
      {"main window fails",
       false,
       [](frame::Application& application) {
         application.SetTitle(texts::kAppTitle);
         throw EConvertError("no window");
       },
       {"EConvertError", "ui_tests.exe", "\nno window."}},
      {"a non-Exception", false, [](frame::Application&) { throw 42; }, {"int", "ui_tests.exe"}},
      {"application class taken", true, [](frame::Application&) {}, {"Exception", classError}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WNDCLASSEXW taken{};
    taken.cbSize = sizeof(taken);
    taken.lpfnWndProc = DefWindowProcW;
    taken.hInstance = GetModuleHandleW(nullptr);
    taken.lpszClassName = frame::Application::kWindowClassName;
    if (row.registerClassFirst) {
      ASSERT_NE(RegisterClassExW(&taken), 0);
    }
    ModalAnswerer answerer([](const ModalRecord& record) { PressOk(record); });
    EXPECT_EQ(frame::Run(SW_SHOWNORMAL, row.startUp), 1);
    if (row.registerClassFirst)
      UnregisterClassW(frame::Application::kWindowClassName, GetModuleHandleW(nullptr));
    ASSERT_EQ(answerer.Records().size(), 1u);
    const ModalRecord& box = answerer.Records()[0];
    EXPECT_EQ(box.caption, texts::kAppErrorCaption);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_HAND));
    for (const std::string& part : row.textParts) EXPECT_NE(box.text.find(part), std::string::npos) << part;
    // No window of the failed start is left behind.
    EXPECT_EQ(FindWindowW(TfrmMain::kWindowClassName, nullptr), nullptr);
  }
}

std::string ReplaceFirst(std::string text, std::string_view placeholder, std::string_view value) {
  return text.replace(text.find(placeholder), placeholder.size(), value);
}

TEST(GenericErrorTextTest, FillsClassModuleOffsetMessageAndPeriodInOrder) {
  struct Row {
    std::string_view message;
    std::string_view period;
  };
  const Row rows[] = {{"bad", "."}, {"ok.", ""}, {"", ""}};
  const std::string address = sizeof(void*) == 8 ? "0000000000001A2B" : "00001A2B";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    std::string expected(texts::kAppErrorFormat);
    for (std::string_view value : {std::string_view("EFoo"), std::string_view("kwtconvw.exe")}) {
      expected = ReplaceFirst(expected, "%s", value);
    }
    expected = ReplaceFirst(expected, "%p", address);
    expected = ReplaceFirst(expected, "%s", row.message);
    expected = ReplaceFirst(expected, "%s", row.period);
    EXPECT_EQ(frame::GenericErrorText("EFoo", "kwtconvw.exe", 0x1A2B, row.message), expected);
  }
}

TEST(ProgramTest, EveryNormalRouteEndsWithExitCode0) {
  struct Row {
    const char* name;
    std::function<void(Program&)> end;
  };
  const auto keys = [](Program& program, std::vector<std::pair<WORD, bool>> strokes) {
    std::vector<INPUT> inputs;
    for (const auto& [key, up] : strokes) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = key;
      input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
      inputs.push_back(input);
    }
    SetForegroundWindow(program.MainWindow());
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  };
  const Row rows[] = {
      {"close box", [](Program& p) { PostMessageW(p.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4",
       [&](Program& p) {
         keys(p, {{VK_MENU, false}, {VK_F4, false}, {VK_F4, true}, {VK_MENU, true}});
       }},
      {"Enter on the close button at start",
       [&](Program& p) {
         keys(p, {{VK_RETURN, false}, {VK_RETURN, true}});
       }},
      {"Close on the taskbar button",
       [](Program& p) { PostMessageW(p.ApplicationWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"end of the session",
       [](Program& p) {
         EXPECT_EQ(SendMessageW(p.ApplicationWindow(), WM_QUERYENDSESSION, 0, 0), TRUE);
         SendMessageW(p.ApplicationWindow(), WM_ENDSESSION, TRUE, 0);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Program program;
    ASSERT_NE(program.MainWindow(), nullptr);
    EXPECT_TRUE(IsWindowVisible(program.MainWindow()));
    EXPECT_EQ(GetWindow(program.MainWindow(), GW_OWNER), program.ApplicationWindow());
    EXPECT_EQ(frame::WindowText(program.ApplicationWindow()), texts::kAppTitle);
    row.end(program);
    EXPECT_EQ(program.WaitForExit(), 0u);
  }
}

TEST(ProgramTest, StartedMinimisedItIsOnlyATaskbarButtonUntilRestored) {
  Program program(SW_SHOWMINNOACTIVE);
  ASSERT_NE(program.MainWindow(), nullptr);
  EXPECT_FALSE(IsWindowVisible(program.MainWindow()));
  EXPECT_TRUE(IsIconic(program.ApplicationWindow()));
  SendMessageW(program.ApplicationWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(IsWindowVisible(program.MainWindow()));
  RECT outer{};
  GetWindowRect(program.MainWindow(), &outer);
  const POINT centred =
      frame::CentredOrigin(SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                           SIZE{outer.right - outer.left, outer.bottom - outer.top});
  EXPECT_EQ(outer.left, centred.x);
  EXPECT_EQ(outer.top, centred.y);
  PostMessageW(program.MainWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(PartsTest, FilterIsCutAtWholeBarsOnly) {
  struct Row {
    std::string_view filter;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  const Row rows[] = {
      {"Projects (*.KWJ)|*.kwj", {{"Projects (*.KWJ)", "*.kwj"}}},
      {"A|*.a|B|*.b", {{"A", "*.a"}, {"B", "*.b"}}},
      {"\x83|\x83|x|*.x", {{"\x83|\x83|x", "*.x"}}},  // two ポ, each ending in a bar byte
      {"Only a description", {{"Only a description", ""}}},
      {"", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.filter);
    std::vector<std::pair<std::string, std::string>> entries;
    for (const FilterEntry& entry : SplitFilter(row.filter))
      entries.emplace_back(entry.description, entry.pattern);
    EXPECT_EQ(entries, row.entries);
  }
  EXPECT_EQ(SplitFilter(texts::kOpenFilter).size(), 1u);
  EXPECT_EQ(SplitFilter(texts::kOpenFilter)[0].pattern, "*.kwj");
  EXPECT_EQ(DialogFilter("A|*.a"), std::wstring(L"A\0*.a\0\0", 7));
}

TEST(PartsTest, InitialFolderDropsOnlyANonRootFinalSeparator) {
  struct Row {
    std::string_view given;
    std::string_view kept;
  };
  const Row rows[] = {
      {"C:\\Tools", "C:\\Tools"},     {"C:\\Tools\\", "C:\\Tools"}, {"C:\\", "C:\\"}, {"\\", "\\"}, {"", ""},
      {"C:\\\x95\\\\", "C:\\\x95\\"},  // 表 (95 5C), then a separator
      {"C:\\\x95\\", "C:\\\x95\\"},    // ends in 表, whose trail byte is no separator
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.given);
    EXPECT_EQ(InitialDirValue(row.given), row.kept);
  }
}

TEST(PartsTest, DialogStandsCentredAcrossAndAThirdDown) {
  struct Row {
    RECT monitor;
    SIZE dialog;
    POINT origin;
  };
  const Row rows[] = {
      {{0, 0, 1280, 1024}, {600, 400}, {340, 208}},
      {{1280, 0, 2560, 1024}, {600, 400}, {1620, 208}},  // a second monitor to the right
      {{0, 0, 1024, 768}, {601, 401}, {211, 122}},       // truncating halves and thirds
      {{0, 0, 500, 300}, {600, 400}, {-50, -33}},        // larger than the monitor: toward zero
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.monitor.left);
    const POINT origin = DialogOrigin(row.monitor, row.dialog);
    EXPECT_EQ(origin.x, row.origin.x);
    EXPECT_EQ(origin.y, row.origin.y);
  }
}

TEST(PartsTest, FocusRingWrapsAndSkipsRefusingControls) {
  const std::vector<bool> takesTab = {false, true, false, false, true, false, true};
  const auto tab = [&](std::size_t i) { return static_cast<bool>(takesTab[i]); };
  const auto any = [](std::size_t) { return true; };
  struct Row {
    const char* name;
    std::optional<std::size_t> from;
    bool forward;
    bool tabOnly;
    std::optional<std::size_t> to;
  };
  const Row rows[] = {
      {"tab forward", 1, true, true, 4},
      {"tab wraps", 6, true, true, 1},
      {"tab back wraps", 1, false, true, 6},
      {"tab from a static", 2, true, true, 4},
      {"arrow forward", 1, true, false, 2},
      {"arrow back wraps", 0, false, false, 6},
      {"no focus yet forward", std::nullopt, true, true, 1},
      {"no focus yet back", std::nullopt, false, true, 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto accepts = row.tabOnly ? std::function<bool(std::size_t)>(tab) : any;
    EXPECT_EQ(NextInRing(7, row.from, row.forward, accepts), row.to);
  }
  EXPECT_EQ(NextInRing(7, 3, true, [](std::size_t) { return false; }), std::nullopt);
  EXPECT_EQ(NextInRing(7, 3, true, [](std::size_t i) { return i == 3; }), 3u) << "itself, last";
  EXPECT_EQ(NextInRing(0, std::nullopt, true, any), std::nullopt);
}

TEST(PartsTest, ShortcutsAndLinkedCaptions) {
  EXPECT_EQ(ShortCutOf('O', false, true, false), 16463);
  EXPECT_EQ(ShortCutOf('O', true, true, false), 16463 | kShiftFlag);
  EXPECT_EQ(ShortCutOf('O', false, false, false), 'O');
  EXPECT_EQ(LinkedCaption("", "BitBtn1", "Open"), "Open");
  EXPECT_EQ(LinkedCaption("Btn", "Btn", "Exit"), "Exit");
  EXPECT_EQ(LinkedCaption("Mine", "Btn", "Exit"), "Mine");
}

}  // namespace
}  // namespace kwt::ui::testing
