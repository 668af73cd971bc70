// The buttons' looks and the fixed frame, pixel by pixel at 96 dpi: the focus
// rectangle never covers a picture, the folder stays off the open button's
// bevel, and a drag of any border leaves the window where it was.
#include <atomic>
#include <thread>

#include "scaled_window.h"
#include "ui/device_context.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

// DrawFrameControl's two edges of a push button.
constexpr LONG kEdge = 2;

// A push button of size drawn by the system alone, for its edges.
Screen PlainButton(SIZE size, bool pushed) {
  Screen plain;
  plain.size = size;
  const ClientDC screen = ClientDCOf(nullptr);
  const MemoryDC memory = CompatibleMemoryDC(screen.get());
  const HBITMAP bitmap = CreateCompatibleBitmap(screen.get(), size.cx, size.cy);
  {
    const Selected selected(memory.get(), bitmap);
    RECT bounds{0, 0, size.cx, size.cy};
    DrawFrameControl(memory.get(), &bounds, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    for (LONG y = 0; y < size.cy; ++y) {
      for (LONG x = 0; x < size.cx; ++x) plain.pixels.push_back(GetPixel(memory.get(), x, y));
    }
  }
  DeleteObject(bitmap);
  return plain;
}

// Pixels of the two edges that differ from the system's own button.
int EdgeDifferences(const Screen& drawn, const Screen& plain) {
  int differences = 0;
  for (LONG y = 0; y < drawn.size.cy; ++y) {
    for (LONG x = 0; x < drawn.size.cx; ++x) {
      const bool edge = x < kEdge || y < kEdge || x >= drawn.size.cx - kEdge || y >= drawn.size.cy - kEdge;
      if (edge && drawn.At(x, y) != plain.At(x, y)) ++differences;
    }
  }
  return differences;
}

class ButtonLookTest : public WindowTest {
 protected:
  Screen Drawn(HWND button) {
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return CaptureOf(button);
  }
  void FocusOn(HWND control) {
    SetFocus(control);
    Pump();
  }
};

TEST_F(ButtonLookTest, FocusRectangleLeavesEveryPictureWhole) {
  TfrmMain& form = Form();
  const Picture door = LoadPicture(TfrmMain::kClosePicture, 18);
  const Picture folder = LoadPicture(TfrmMain::kOpenPicture, 14);
  ASSERT_EQ(Focus(), form.Btn());
  const Screen focused = Drawn(form.Btn());
  // The whole door, once, untouched by the dots.
  const std::vector<POINT> places = PlacesOf(focused, door);
  ASSERT_EQ(places.size(), 1u);

  FocusOn(form.BitBtn1());
  const Screen unfocused = Drawn(form.Btn());
  EXPECT_EQ(PlacesOf(unfocused, door).size(), 1u);
  // The focus rectangle is there, a dotted line along the face's top and
  // bottom rows, and nowhere on the door.
  int marks = 0;
  int onPicture = 0;
  for (LONG y = 0; y < focused.size.cy; ++y) {
    for (LONG x = 0; x < focused.size.cx; ++x) {
      if (focused.At(x, y) == unfocused.At(x, y)) continue;
      ++marks;
      const LONG px = x - places[0].x;
      const LONG py = y - places[0].y;
      if (px >= 0 && py >= 0 && px < door.size && py < door.size && door.Ink(px, py)) ++onPicture;
    }
  }
  EXPECT_GT(marks, 60);
  EXPECT_EQ(onPicture, 0);
  for (LONG row : {kEdge, focused.size.cy - kEdge - 1}) {
    SCOPED_TRACE(row);
    int dots = 0;
    for (LONG x = 0; x < focused.size.cx; ++x) dots += focused.At(x, row) != unfocused.At(x, row) ? 1 : 0;
    EXPECT_GT(dots, 25);
  }

  // The open button's folder fills its face: the dots pass beneath it.
  const Screen openFocused = Drawn(form.BitBtn1());
  const RECT face{kEdge, kEdge, 17 - kEdge, 17 - kEdge};
  const Match match = Compare(openFocused, folder, POINT{kEdge, 1}, face);
  EXPECT_GT(match.compared, 80);
  EXPECT_EQ(match.equal, match.compared);
}

TEST_F(ButtonLookTest, FolderDrawsOnTheOpenButtonsFaceOnlyUpOrPushed) {
  TfrmMain& form = Form();
  const Picture folder = LoadPicture(TfrmMain::kOpenPicture, 14);
  int ink = 0;
  for (COLORREF pixel : folder.pixels) ink += pixel != folder.transparent ? 1 : 0;
  const RECT face{kEdge, kEdge, 17 - kEdge, 17 - kEdge};
  struct Row {
    const char* name;
    bool pushed;
    // Where the folder's top-left corner stands: its left outline on the
    // face's first column; pushed it moves down, as far as the face allows
    // (across it has no room).
    POINT at;
  };
  for (const Row& row : {Row{"up", false, {2, 1}}, Row{"pushed", true, {2, 2}}}) {
    SCOPED_TRACE(row.name);
    SendMessageW(form.BitBtn1(), BM_SETSTATE, row.pushed ? TRUE : FALSE, 0);
    const Screen drawn = Drawn(form.BitBtn1());
    ASSERT_EQ(drawn.size.cx, 17);
    EXPECT_EQ(EdgeDifferences(drawn, PlainButton(drawn.size, row.pushed)), 0);
    const Match match = Compare(drawn, folder, row.at, face);
    EXPECT_EQ(match.equal, match.compared);
    // All but the tip of the front flap, which the 13-pixel face cuts off.
    EXPECT_EQ(match.compared, ink - 2);
  }
  SendMessageW(form.BitBtn1(), BM_SETSTATE, FALSE, 0);
  // The close button's door fits its face and stands where it always stood.
  for (bool pushed : {false, true}) {
    SCOPED_TRACE(pushed ? "Btn pushed" : "Btn up");
    SendMessageW(form.Btn(), BM_SETSTATE, pushed ? TRUE : FALSE, 0);
    const Screen drawn = Drawn(form.Btn());
    EXPECT_EQ(EdgeDifferences(drawn, PlainButton(drawn.size, pushed)), 0);
    const std::vector<POINT> places = PlacesOf(drawn, LoadPicture(TfrmMain::kClosePicture, 18));
    ASSERT_EQ(places.size(), 1u);
    EXPECT_EQ(places[0].y, pushed ? 4 : 3);
  }
  SendMessageW(form.Btn(), BM_SETSTATE, FALSE, 0);
}

INPUT MouseInput(DWORD flags, LONG dx = 0, LONG dy = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.dwFlags = flags;
  return input;
}

// Moves the mouse by step in five moves (small ones, which the system does
// not speed up) and lets its button go, from a thread of its own once the
// window's thread runs the system's sizing loop: input queued before the
// loop has captured the mouse would go to whatever window lies under the
// pointer. Gives up waiting after five seconds, so that a loop that never
// starts fails the test instead of hanging it.
class DragEnd {
 public:
  DragEnd(DWORD windowThread, LONG step)
      : thread_([this, windowThread, step] {
          GUITHREADINFO info{};
          info.cbSize = sizeof(info);
          sizing_ = kwt::testing::WaitUntil(
              [&] { return GetGUIThreadInfo(windowThread, &info) && (info.flags & GUI_INMOVESIZE) != 0; },
              std::chrono::seconds(5), std::chrono::milliseconds(10));
          for (int moves = 0; moves < 5; ++moves) {
            INPUT move = MouseInput(MOUSEEVENTF_MOVE, step / 5, step / 5);
            SendInput(1, &move, sizeof(INPUT));
            kwt::testing::PaceInput();
          }
          INPUT up = MouseInput(MOUSEEVENTF_LEFTUP);
          SendInput(1, &up, sizeof(INPUT));
        }) {}
  ~DragEnd() {
    if (thread_.joinable()) thread_.join();
  }
  DragEnd(const DragEnd&) = delete;
  DragEnd& operator=(const DragEnd&) = delete;

  // Whether the sizing loop ran.
  bool Finish() {
    thread_.join();
    return sizing_;
  }

 private:
  std::atomic<bool> sizing_{false};
  std::thread thread_;
};

TEST_F(WindowTest, DraggingAnyBorderLeavesTheWindowWhereItIs) {
  // Real drags, through the system's own sizing loop (no window manager
  // runs), from each border and corner, outward and inward.
  const HWND window = Form().Handle();
  RECT before{};
  GetWindowRect(window, &before);
  const LONG middleX = (before.left + before.right) / 2;
  const LONG middleY = (before.top + before.bottom) / 2;
  struct Row {
    const char* name;
    POINT grip;
    LRESULT hit;
  };
  const Row rows[] = {
      {"left", {before.left + 1, middleY}, HTLEFT},
      {"top", {middleX, before.top + 1}, HTTOP},
      {"top left", {before.left + 1, before.top + 1}, HTTOPLEFT},
      {"right", {before.right - 2, middleY}, HTRIGHT},
      {"bottom", {middleX, before.bottom - 2}, HTBOTTOM},
      {"bottom left", {before.left + 1, before.bottom - 2}, HTBOTTOMLEFT},
  };
  for (const Row& row : rows) {
    for (LONG step : {25, -25}) {
      SCOPED_TRACE(std::string(row.name) + " by " + std::to_string(step));
      // The second press lands 8 pixels along the border from the first,
      // towards the border's middle, so that the two never make a double
      // click.
      const bool across = row.hit == HTTOP || row.hit == HTBOTTOM;
      const LONG along = step < 0 ? (row.grip.y > middleY ? -8 : 8) : 0;
      const POINT grip{row.grip.x + (across ? along : 0), row.grip.y + (across ? 0 : along)};
      ASSERT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(grip.x, grip.y)), row.hit);
      SetForegroundWindow(window);
      SetCursorPos(grip.x, grip.y);
      Pump();
      DragEnd end(GetCurrentThreadId(), step);
      INPUT down = MouseInput(MOUSEEVENTF_LEFTDOWN);
      SendInput(1, &down, sizeof(INPUT));
      // The sizing loop runs inside, until the button goes up.
      Pump();
      EXPECT_TRUE(end.Finish());
      Pump();
      POINT cursor{};
      GetCursorPos(&cursor);
      EXPECT_EQ(cursor.x, grip.x + step);
      EXPECT_EQ(cursor.y, grip.y + step);
      RECT after{};
      GetWindowRect(window, &after);
      EXPECT_EQ(after.left, before.left);
      EXPECT_EQ(after.top, before.top);
      EXPECT_EQ(after.right, before.right);
      EXPECT_EQ(after.bottom, before.bottom);
      EXPECT_EQ(ClientSize().cx, 322);
      EXPECT_EQ(ClientSize().cy, 155);
    }
  }
}

}  // namespace
}  // namespace kwt::ui::testing
