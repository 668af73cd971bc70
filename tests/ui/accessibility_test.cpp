// What a screen reader and a keyboard user meet: every button has a name,
// the open button without showing one; a static text that the arrow keys
// give the focus to shows a focus mark, which covers none of its text.
#include <atomic>
#include <thread>

#include "frame/display_text.h"
#include "runtime/cp932_text.h"
#include "runtime/texts.h"
#include "ui/device_context.h"
#include "ui/layout.h"
#include "ui/painting.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

// The name a screen reader gives a button: the system's accessible object for
// a button is named by the window's text, which a screen reader reads from
// its own process. (Wine gives no accessible objects, so the text is read here
// as another program would, from another thread.)
std::string AccessibleNameOf(HWND window) {
  std::string name = "(no answer)";
  std::atomic<bool> answered{false};
  std::thread reader([&] {
    wchar_t text[256] = {};
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                            &length) != 0) {
      name = WideToCp932Lossy(std::wstring_view(text, length));
    }
    answered = true;
  });
  AnswerSentMessagesUntil(answered);
  reader.join();
  return name;
}

using AccessibilityTest = WindowTest;

TEST_F(AccessibilityTest, TheOpenButtonIsNamedWithoutShowingACaption) {
  TfrmMain& form = Form();
  EXPECT_EQ(AccessibleNameOf(form.BitBtn1()), "\x8AJ\x82\xAD");  // 開く
  EXPECT_EQ(AccessibleNameOf(form.Btn()), texts::kExitCaption);

  // The button looks as a picture button without a caption.
  SetFocus(form.Edit1());
  Pump();
  UpdateWindow(form.Handle());
  SIZE size{};
  const std::vector<COLORREF> shown = Capture(form.BitBtn1(), size);
  const ClientDC reference = ClientDCOf(form.BitBtn1());
  const MemoryDC memory = CompatibleMemoryDC(reference.get());
  const HBITMAP bitmap = CreateCompatibleBitmap(reference.get(), size.cx, size.cy);
  {
    const Selected selected(memory.get(), bitmap);
    const Glyph folder(GetModuleHandleW(nullptr), TfrmMain::kOpenPicture, layout::kFolderPictureSize, 1);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = form.BitBtn1();
    item.hDC = memory.get();
    item.rcItem = RECT{0, 0, size.cx, size.cy};
    PaintPictureButton(item, &folder, L"", form.Font(), layout::kGlyphSpacing, layout::kFocusInset);
    EXPECT_EQ(CaptureFrom(memory.get(), POINT{0, 0}, size), shown);
  }
  DeleteObject(bitmap);
}

TEST_F(AccessibilityTest, AFocusedStaticTextShowsAFocusMarkClearOfItsText) {
  TfrmMain& form = Form();
  form.SetStatus(std::string(texts::kStatusProgressPrefix) + "12345" +
                 std::string(texts::kStatusProgressSuffix));
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (HWND control : {form.StaticText1(), form.Txt1(), form.Txt2(), form.Txt3()}) {
    SCOPED_TRACE(frame::WindowText(control));
    SetFocus(form.Btn());
    Pump();
    UpdateWindow(form.Handle());
    SIZE size{};
    const std::vector<COLORREF> unfocused = Capture(control, size);

    // The arrow keys walk every control of the group, static texts included.
    SetFocus(control);
    Pump();
    UpdateWindow(form.Handle());
    const std::vector<COLORREF> focused = Capture(control, size);
    int marked = 0;
    for (LONG y = 0; y < size.cy; ++y) {
      for (LONG x = 0; x < size.cx; ++x) {
        const auto i = static_cast<std::size_t>(y * size.cx + x);
        if (focused[i] == unfocused[i]) continue;
        ++marked;
        const bool onBorder = x == 0 || y == 0 || x == size.cx - 1 || y == size.cy - 1;
        EXPECT_TRUE(onBorder) << x << "," << y;
        EXPECT_EQ(unfocused[i], face) << "the mark covers ink at " << x << "," << y;
      }
    }
    EXPECT_GT(marked, size.cx);

    // Gone again with the focus.
    SetFocus(form.Btn());
    Pump();
    UpdateWindow(form.Handle());
    EXPECT_EQ(Capture(control, size), unfocused);
  }
}

}  // namespace
}  // namespace kwt::ui::testing
