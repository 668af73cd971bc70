// The window moved to a monitor of another DPI, as the system tells it
// (WM_DPICHANGED): everything scales to 144 dpi, and back at 96 dpi every
// pixel is the design's again.
#include "runtime/texts.h"
#include "scaled_window.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

// Windows 10 1703's, which the headers for Windows 7 do not name.
constexpr UINT kGetDpiScaledSize = 0x02E4;

RECT WindowRect(HWND window) {
  RECT bounds{};
  GetWindowRect(window, &bounds);
  return bounds;
}

void ChangeDpi(HWND window, int dpi, const RECT& suggested) {
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST_F(WindowTest, RescalesToANewDpiAndReturnsExactlyToTheDesign) {
  TfrmMain& form = Form();
  form.SetStatus(texts::kStatusSuccess);
  UpdateWindow(form.Handle());
  const RECT designed = WindowRect(form.Handle());
  const Screen atStart = CaptureOf(form.Handle());
  ExpectLaidOutFor(form, kDpi96);

  // The system's suggestion is the old rectangle scaled; its size is not
  // exact and is not taken, its position is.
  const RECT suggested{designed.left - 40, designed.top - 30, designed.left + 455, designed.top + 243};
  ChangeDpi(form.Handle(), kDpi144, suggested);
  Pump();
  {
    SCOPED_TRACE("144 dpi");
    ExpectLaidOutFor(form, kDpi144);
    const RECT moved = WindowRect(form.Handle());
    EXPECT_EQ(moved.left, suggested.left);
    EXPECT_EQ(moved.top, suggested.top);
    // The status line repaints its text in the new font and size.
    const Screen line = CaptureOf(form.Txt3());
    EXPECT_EQ(line.size.cx, 434);
    EXPECT_EQ(line.size.cy, 26);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int inkRows = 0;
    for (LONG y = 0; y < line.size.cy; ++y) {
      bool ink = false;
      for (LONG x = 0; x < line.size.cx; ++x) ink = ink || line.At(x, y) != face;
      inkRows += ink ? 1 : 0;
    }
    // Taller than any line of the 12-pixel font.
    EXPECT_GT(inkRows, 14);
    // The pictures drawn for 150 percent, each once.
    EXPECT_EQ(PlacesOf(CaptureOf(form.Btn()), LoadPicture(L"CLOSEGLYPH150", 27)).size(), 1u);
    EXPECT_EQ(PlacesOf(CaptureOf(form.BitBtn1()), LoadPicture(L"OPENGLYPH150", 21)).size(), 1u);
  }

  ChangeDpi(form.Handle(), kDpi96, designed);
  Pump();
  UpdateWindow(form.Handle());
  {
    SCOPED_TRACE("back at 96 dpi");
    ExpectLaidOutFor(form, kDpi96);
    const RECT back = WindowRect(form.Handle());
    EXPECT_EQ(back.left, designed.left);
    EXPECT_EQ(back.top, designed.top);
    EXPECT_EQ(back.right, designed.right);
    EXPECT_EQ(back.bottom, designed.bottom);
    EXPECT_EQ(ClientSize().cx, 322);
    EXPECT_EQ(ClientSize().cy, 155);
    const Screen now = CaptureOf(form.Handle());
    ASSERT_EQ(now.pixels.size(), atStart.pixels.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < now.pixels.size(); ++i)
      differing += now.pixels[i] != atStart.pixels[i] ? 1 : 0;
    EXPECT_EQ(differing, 0u);
  }
}

TEST_F(WindowTest, TellsTheSystemItsExactSizeForANewDpi) {
  // Asked before a move to another monitor, the window answers the outer
  // size it will take there, not the old one scaled.
  SIZE size{330, 182};
  ASSERT_EQ(SendMessageW(Form().Handle(), kGetDpiScaledSize, kDpi144, reinterpret_cast<LPARAM>(&size)), TRUE);
  ChangeDpi(Form().Handle(), kDpi144, RECT{0, 0, size.cx, size.cy});
  Pump();
  const RECT outer = WindowRect(Form().Handle());
  EXPECT_EQ(outer.right - outer.left, size.cx);
  EXPECT_EQ(outer.bottom - outer.top, size.cy);
  EXPECT_GT(size.cx, 483);
  EXPECT_GT(size.cy, 233);
}

}  // namespace
}  // namespace kwt::ui::testing
