// The window as built: controls, texts, font, fixed size, placement, the one
// taskbar button, hints, and the status line drawing at once.
#include <algorithm>

#include "frame/display_text.h"
#include "runtime/texts.h"
#include "ui/device_context.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

// The window as designed, in pixels at 96 dpi: written out here rather than
// taken from ui/layout.h, so that a wrong number there shows.
constexpr LONG kDesignedClientWidth = 322;
constexpr LONG kDesignedClientHeight = 155;
struct Box {
  int left;
  int top;
  int width;
  int height;
};

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The height of a line of text in the window's font.
LONG LineHeight(const TfrmMain& form) {
  const ClientDC dc = ClientDCOf(form.Handle());
  const Selected font(dc.get(), form.Font());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  return metrics.tmHeight;
}

LONG StyleOf(HWND window) {
  return static_cast<LONG>(GetWindowLongPtrW(window, GWL_STYLE));
}

TEST_F(WindowTest, EveryControlStandsWhereDesignedWithItsText) {
  struct Row {
    const char* name;
    HWND control;
    const wchar_t* windowClass;
    Box box;
    std::string_view text;
    bool sizedToText;
  };
  TfrmMain& form = Form();
  const Row rows[] = {
      // The static texts' designed sizes give way to their texts' sizes.
      {"StaticText1", form.StaticText1(), L"Static", {24, 24, 268, 16}, texts::kIntroText, true},
      {"Btn", form.Btn(), L"Button", {120, 120, 81, 25}, texts::kExitCaption, false},
      {"Txt1", form.Txt1(), L"Static", {48, 56, 63, 16}, texts::kTargetLabel, true},
      {"Txt2", form.Txt2(), L"Static", {136, 80, 52, 16}, texts::kProgressLabel, true},
      {"Edit1", form.Edit1(), L"Edit", {120, 48, 145, 20}, "", false},
      {"Txt3", form.Txt3(), L"Static", {16, 96, 289, 17}, "", false},
      // No caption: its text is only its name for screen readers.
      {"BitBtn1", form.BitBtn1(), L"Button", {280, 48, 17, 17}, "\x8AJ\x82\xAD", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(GetParent(row.control), form.GroupBox1());
    EXPECT_EQ(_wcsicmp(ClassOf(row.control).c_str(), row.windowClass), 0);
    EXPECT_EQ(frame::WindowText(row.control), row.text);
    const RECT place = PlaceOf(row.control);
    EXPECT_EQ(place.left, row.box.left);
    EXPECT_EQ(place.top, row.box.top);
    if (row.sizedToText) {
      // Its text's width and height, measured another way, plus 4.
      EXPECT_EQ(place.right - place.left, form.TargetMeasure().TextWidth(row.text) + 4);
      EXPECT_EQ(place.bottom - place.top, LineHeight(form) + 4);
    } else {
      EXPECT_EQ(place.right - place.left, row.box.width);
      EXPECT_EQ(place.bottom - place.top, row.box.height);
    }
    // Every control draws in the window's font.
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(row.control, WM_GETFONT, 0, 0)), form.Font());
  }
  const RECT frame = PlaceOf(form.GroupBox1());
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
  EXPECT_EQ(frame.right, kDesignedClientWidth);
  EXPECT_EQ(frame.bottom, kDesignedClientHeight);
}

TEST_F(WindowTest, CaptionFontAndControlSettings) {
  TfrmMain& form = Form();
  EXPECT_EQ(frame::WindowText(form.Handle()), texts::kMainCaption);
  LOGFONTW font{};
  ASSERT_EQ(GetObjectW(form.Font(), sizeof(font), &font), static_cast<int>(sizeof(font)));
  EXPECT_EQ(font.lfHeight, -12);
  EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_STREQ(font.lfFaceName, L"MS UI Gothic");

  const LONG frame = StyleOf(form.Handle());
  for (LONG part : {WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX}) {
    EXPECT_EQ(frame & part, part);
  }
  EXPECT_NE(StyleOf(form.Edit1()) & ES_READONLY, 0);
  EXPECT_EQ(StyleOf(form.Edit1()) & ES_MULTILINE, 0);
  EXPECT_NE(GetWindowLongPtrW(form.Edit1(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  for (HWND button : {form.Btn(), form.BitBtn1()}) EXPECT_EQ(StyleOf(button) & BS_TYPEMASK, BS_OWNERDRAW);
  // Only the buttons and the target box take the focus by Tab.
  for (HWND control : form.TabOrder()) {
    const bool tabStop = control == form.Btn() || control == form.Edit1() || control == form.BitBtn1();
    EXPECT_EQ((StyleOf(control) & WS_TABSTOP) != 0, tabStop);
  }
  // Both actions are there, enabled, with their hints and shortcut.
  EXPECT_EQ(form.FileOpen1().Shortcut(), 16463);
  EXPECT_EQ(form.FileOpen1().Hint(), texts::kOpenHint);
  EXPECT_EQ(form.FileExit1().Hint(), texts::kExitHint);
  EXPECT_EQ(form.FileExit1().Caption(), texts::kExitCaption);
  EXPECT_TRUE(form.FileOpen1().Enabled());
  EXPECT_TRUE(form.FileExit1().Enabled());
  // Hints are never shown: no tooltip window exists.
  EXPECT_EQ(FindWindowW(L"tooltips_class32", nullptr), nullptr);
}

TEST_F(WindowTest, StartsCentredEmptyAndFocusedOnTheCloseButton) {
  RECT outer{};
  GetWindowRect(Form().Handle(), &outer);
  const POINT expected =
      frame::CentredOrigin(SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                           SIZE{outer.right - outer.left, outer.bottom - outer.top});
  EXPECT_EQ(outer.left, expected.x);
  EXPECT_EQ(outer.top, expected.y);
  EXPECT_EQ(ClientSize().cx, kDesignedClientWidth);
  EXPECT_EQ(ClientSize().cy, kDesignedClientHeight);
  EXPECT_EQ(frame::WindowText(Form().Txt3()), "");
  EXPECT_EQ(frame::WindowText(Form().Edit1()), "");
  EXPECT_EQ(Focus(), Form().Btn());
}

TEST(CentredOriginTest, CentresAndKeepsOnScreen) {
  struct Row {
    SIZE screen;
    SIZE window;
    POINT origin;
  };
  const Row rows[] = {
      {{1024, 768}, {330, 182}, {347, 293}}, {{1280, 1024}, {330, 182}, {475, 421}},
      {{1023, 767}, {330, 182}, {346, 292}},  // halves truncate
      {{300, 768}, {330, 182}, {0, 293}},     // narrower than the window
      {{1024, 100}, {330, 182}, {347, 0}},    // lower than the window
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.screen.cx) + "x" + std::to_string(row.screen.cy));
    const POINT origin = frame::CentredOrigin(row.screen, row.window);
    EXPECT_EQ(origin.x, row.origin.x);
    EXPECT_EQ(origin.y, row.origin.y);
  }
}

TEST_F(WindowTest, SizeStaysFixedWhenSetMaximisedOrDragged) {
  const HWND window = Form().Handle();
  RECT before{};
  GetWindowRect(window, &before);

  // A drag of the frame: the system's sizing loop keeps the tracking size
  // within the limits the window reports, and each step sets a size.
  MINMAXINFO limits{};
  SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  const LONG width = before.right - before.left;
  const LONG height = before.bottom - before.top;
  EXPECT_EQ(limits.ptMinTrackSize.x, width);
  EXPECT_EQ(limits.ptMinTrackSize.y, height);
  EXPECT_EQ(limits.ptMaxTrackSize.x, width);
  EXPECT_EQ(limits.ptMaxTrackSize.y, height);
  for (int delta : {80, -60}) {
    SCOPED_TRACE(delta);
    SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(window, nullptr, 0, 0, width + delta, height + delta, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
    Pump();
    EXPECT_EQ(ClientSize().cx, kDesignedClientWidth);
    EXPECT_EQ(ClientSize().cy, kDesignedClientHeight);
  }

  ShowWindow(window, SW_MAXIMIZE);
  Pump();
  EXPECT_EQ(ClientSize().cx, kDesignedClientWidth);
  EXPECT_EQ(ClientSize().cy, kDesignedClientHeight);
  ShowWindow(window, SW_RESTORE);
  Pump();
  RECT after{};
  GetWindowRect(window, &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

// The taskbar shows a button for each visible unowned top-level window that
// is not a tool window.
BOOL CALLBACK CollectTaskbarButton(HWND window, LPARAM context) {
  const bool unowned = GetWindow(window, GW_OWNER) == nullptr;
  const bool tool = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
  if (IsWindowVisible(window) && unowned && !tool)
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

TEST_F(WindowTest, OneTaskbarButtonForTheApplication) {
  std::vector<HWND> buttons;
  EnumThreadWindows(GetCurrentThreadId(), CollectTaskbarButton, reinterpret_cast<LPARAM>(&buttons));
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0], App().Handle());
  EXPECT_EQ(frame::WindowText(App().Handle()), texts::kAppTitle);
  EXPECT_EQ(App().Title(), texts::kAppTitle);
  EXPECT_EQ(GetWindow(Form().Handle(), GW_OWNER), App().Handle());
  // The application icon, from the resources, on the button and the caption.
  const HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(App().Icon(), icon);
  EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrW(App().Handle(), GCLP_HICON)), icon);
  EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrW(Form().Handle(), GCLP_HICON)), icon);
  // The taskbar button's menu restores, minimises and closes, nothing else.
  const HMENU menu = GetSystemMenu(App().Handle(), FALSE);
  EXPECT_EQ(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(GetMenuState(menu, SC_MOVE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST_F(WindowTest, MinimisingHidesTheWindowAndRestoringBringsItBackWithItsFocus) {
  Type({{VK_TAB}});
  ASSERT_EQ(Focus(), Form().Edit1());
  RECT before{};
  GetWindowRect(Form().Handle(), &before);
  SendMessageW(Form().Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Form().Handle()));
  EXPECT_TRUE(IsIconic(App().Handle()));
  SendMessageW(App().Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Pump();
  EXPECT_TRUE(IsWindowVisible(Form().Handle()));
  RECT after{};
  GetWindowRect(Form().Handle(), &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(Focus(), Form().Edit1());
}

TEST_F(WindowTest, IdleWorkTakesTheLongHintOfTheControlUnderTheMouse) {
  struct Row {
    const char* name;
    HWND control;
    std::string_view hint;
  };
  const std::string_view open = texts::kOpenHint;
  const std::string_view exit = texts::kExitHint;
  const Row rows[] = {
      {"BitBtn1", Form().BitBtn1(), open.substr(open.find('|') + 1)},
      {"Btn", Form().Btn(), exit.substr(exit.find('|') + 1)},
      {"Txt3", Form().Txt3(), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RECT place{};
    GetWindowRect(row.control, &place);
    SetCursorPos((place.left + place.right) / 2, (place.top + place.bottom) / 2);
    Pump();
    EXPECT_EQ(App().Hint(), row.hint);
  }
  EXPECT_EQ(FindWindowW(L"tooltips_class32", nullptr), nullptr);
}

TEST(HintTest, TheFirstWholeBarParts) {
  struct Row {
    std::string_view hint;
    std::string_view shortPart;
    std::string_view longPart;
  };
  const Row rows[] = {
      {"short|long", "short", "long"},   {"no bar", "no bar", "no bar"}, {"a|b|c", "a", "b|c"}, {"|", "", ""},
      {"\x83|x|tail", "\x83|x", "tail"},  // ポ ends in a bar byte, which cuts nothing
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.hint);
    EXPECT_EQ(frame::ShortHintPart(row.hint), row.shortPart);
    EXPECT_EQ(frame::LongHintPart(row.hint), row.longPart);
  }
}

// Pixels that differ from the button face: the drawn text.
struct Ink {
  int count = 0;
  LONG left = 0;
  LONG right = 0;
};

Ink InkOf(const std::vector<COLORREF>& pixels, SIZE size) {
  Ink ink;
  ink.left = size.cx;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (LONG y = 0; y < size.cy; ++y) {
    for (LONG x = 0; x < size.cx; ++x) {
      if (pixels[static_cast<std::size_t>(y * size.cx + x)] == face) continue;
      ++ink.count;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x + 1);
    }
  }
  return ink;
}

TEST_F(WindowTest, StatusLineShowsEachNewTextBeforeTheLoopRunsAgain) {
  TfrmMain& form = Form();
  UpdateWindow(form.Handle());
  SIZE size{};
  ASSERT_EQ(InkOf(Capture(form.Txt3(), size), size).count, 0);

  // No message is handled between setting and reading.
  const std::string progress =
      std::string(texts::kStatusProgressPrefix) + "12345" + std::string(texts::kStatusProgressSuffix);
  form.SetStatus(progress);
  const std::vector<COLORREF> first = Capture(form.Txt3(), size);
  const Ink ink = InkOf(first, size);
  EXPECT_GT(ink.count, 30);
  // Centred: the margins differ by the rounding of one halving at most.
  EXPECT_LE(std::abs((ink.left) - (size.cx - ink.right)), 2);
  EXPECT_EQ(frame::WindowText(form.Txt3()), progress);

  form.SetStatus(texts::kStatusSuccess);
  const std::vector<COLORREF> second = Capture(form.Txt3(), size);
  EXPECT_NE(second, first);
  EXPECT_GT(InkOf(second, size).count, 10);

  // A later repaint draws the same.
  InvalidateRect(form.Txt3(), nullptr, TRUE);
  UpdateWindow(form.Txt3());
  EXPECT_EQ(Capture(form.Txt3(), size), second);
}

TEST_F(WindowTest, TargetBoxShowsTheWholeTextFromItsStartAndMeasuresInTheWindowFont) {
  TfrmMain& form = Form();
  EXPECT_EQ(form.TargetWidth(), 145);
  const std::string path = "C:\\" + std::string(40, 'a') + "\\data.KWT";
  form.SetTarget(path);
  EXPECT_EQ(frame::WindowText(form.Edit1()), path);
  EXPECT_EQ(SendMessageW(form.Edit1(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  DWORD start = 1;
  SendMessageW(form.Edit1(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  EXPECT_EQ(start, 0u);
  // Wider texts measure wider; double-byte characters count as drawn.
  TextMeasure& measure = form.TargetMeasure();
  EXPECT_EQ(measure.TextWidth(""), 0);
  EXPECT_GT(measure.TextWidth("aa"), measure.TextWidth("a"));
  EXPECT_GT(measure.TextWidth(texts::kProgressLabel), measure.TextWidth("ab"));
}

}  // namespace
}  // namespace kwt::ui::testing
