// The window on a 144-dpi screen (150 percent): run in a Wine prefix whose
// system DPI is 144, where the window is created at that DPI from the start.
#include "scaled_window.h"
#include "ui/device_context.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

TEST(HighDpiScreenTest, TheScreenIs144Dpi) {
  // Everything below relies on it.
  const ClientDC screen = ClientDCOf(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen.get(), LOGPIXELSX), kDpi144);
}

TEST_F(WindowTest, TheWholeDesignScalesByOneAndAHalf) {
  TfrmMain& form = Form();
  ExpectLaidOutFor(form, kDpi144);
  EXPECT_EQ(ClientSize().cx, 483);
  EXPECT_EQ(ClientSize().cy, 233);
  // Centred on the screen at its real size.
  RECT outer{};
  GetWindowRect(form.Handle(), &outer);
  const POINT centred =
      frame::CentredOrigin(SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                           SIZE{outer.right - outer.left, outer.bottom - outer.top});
  EXPECT_EQ(outer.left, centred.x);
  EXPECT_EQ(outer.top, centred.y);
}

TEST_F(WindowTest, PicturesShowAtTheirDrawnSizeForOneAndAHalfWithoutBlending) {
  TfrmMain& form = Form();
  struct Row {
    const char* name;
    HWND button;
    const wchar_t* picture;
    LONG size;
  };
  const Row rows[] = {{"Btn", form.Btn(), L"CLOSEGLYPH150", 27},
                      {"BitBtn1", form.BitBtn1(), L"OPENGLYPH150", 21}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RedrawWindow(row.button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const Screen drawn = CaptureOf(row.button);
    const Picture picture = LoadPicture(row.picture, row.size);
    // Every drawn pixel of the picture at its place, unchanged: nothing
    // stretched, smoothed or covered.
    const std::vector<POINT> places = PlacesOf(drawn, picture);
    ASSERT_EQ(places.size(), 1u);
    // Around them only the face: no blended fringe either.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int other = 0;
    for (LONG y = 0; y < picture.size; ++y) {
      for (LONG x = 0; x < picture.size; ++x) {
        if (!picture.Ink(x, y) && drawn.At(places[0].x + x, places[0].y + y) != face) ++other;
      }
    }
    EXPECT_EQ(other, 0);
  }
  // The 100-percent pictures are not what shows.
  EXPECT_TRUE(PlacesOf(CaptureOf(form.Btn()), LoadPicture(TfrmMain::kClosePicture, 18)).empty());
}

TEST_F(WindowTest, GroupFrameLineStandsLowerByTheSameScale) {
  TfrmMain& form = Form();
  UpdateWindow(form.Handle());
  const Screen frame = CaptureOf(form.GroupBox1());
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  // The etched line's top edge, its shadow over its light line: the first
  // row down the middle that is not the face, 8 pixels down (5 at 96 dpi,
  // scaled and rounded).
  LONG first = -1;
  for (LONG y = 0; y < frame.size.cy && first < 0; ++y) {
    if (frame.At(frame.size.cx / 2, y) != face) first = y;
  }
  EXPECT_EQ(first, 8);
  EXPECT_EQ(frame.At(frame.size.cx / 2, 8), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(frame.At(frame.size.cx / 2, 9), GetSysColor(COLOR_BTNHIGHLIGHT));
}

}  // namespace
}  // namespace kwt::ui::testing
