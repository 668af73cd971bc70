#include "ui/main.h"

#include <algorithm>
#include <utility>

#include "convert/backup.h"
#include "convert/restore.h"
#include "frame/display_text.h"
#include "frame/window_procedure.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/error_text.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"
#include "runtime/texts.h"
#include "ui/closing_box.h"
#include "ui/device_context.h"
#include "ui/dpi.h"
#include "ui/drop_run.h"
#include "ui/focus_ring.h"
#include "ui/layout.h"

namespace kwt::ui {
namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kFormExtendedStyle = 0;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// Names of the buttons, which a linked action's caption may replace.
constexpr std::string_view kBtnName = "Btn";
constexpr std::string_view kBitBtn1Name = "BitBtn1";

HFONT CreateWindowFont(int dpi) {
  return CreateFontW(dpi::Scale(layout::kFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, layout::kFontFace);
}

// A button picture drawn at the scale nearest to dpi, never stretched: a
// stretched picture of 16 colours would blur or lose pixels.
std::unique_ptr<Glyph> PictureFor(HINSTANCE instance, const wchar_t* name, int size, int count, int dpi) {
  const int scale = dpi::PictureScale(dpi);
  std::wstring resource = name;
  if (scale != 100) resource += std::to_wstring(scale);
  return std::make_unique<Glyph>(instance, resource.c_str(), size * scale / 100, count);
}

// The WM_GETDPISCALEDSIZE message of Windows 10 1703, which the headers for
// Windows 7 do not name.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// Posted to the window to take a drop that waited.
constexpr UINT kTakeDrops = WM_APP + 2;

// How often a run looks for what asks it to stop, and answers what other
// programs send: often enough for a key to feel answered and for the system
// (which waits five seconds), rarely enough to cost nothing.
constexpr ULONGLONG kLookInterval = 100;

// The options of every conversion the window makes.
ConversionOptions WindowOptions(bool backup) {
  ConversionOptions options;
  options.backup = backup;
  return options;
}

// A restore from the window finds a relative KWT path beside the project
// file, as kwtconv --restore does.
ConversionOptions RestoreOptions() {
  ConversionOptions options;
  options.contentsBesideProject = true;
  return options;
}

// After the caption while a run lasts: which project of how many.
constexpr wchar_t kRunPositionSeparator[] = L" (";
constexpr wchar_t kRunPositionEnd[] = L")";

bool KeyDown(int key) {
  return (GetKeyState(key) & 0x8000) != 0;
}

std::wstring ControlText(HWND control) {
  return Cp932ToWideLossy(frame::WindowText(control));
}

// A button's window text is what a screen reader calls it. A picture button
// without a caption is named by the short part of its hint (what a tooltip
// would show); nothing draws the window text, so the button still shows no
// caption.
std::string AccessibleName(const std::string& caption, std::string_view hint) {
  return caption.empty() ? std::string(frame::ShortHintPart(hint)) : caption;
}

void DrawFocusMark(HDC dc, HWND control) {
  RECT bounds{};
  GetClientRect(control, &bounds);
  DrawFocusRect(dc, &bounds);
}

}  // namespace

std::int32_t TfrmMain::WindowMeasure::TextWidth(std::string_view text) {
  const std::wstring wide = Cp932ToWideLossy(text);
  const ClientDC dc = ClientDCOf(form_.window_);
  if (!dc) return 0;
  const Selected font(dc.get(), form_.Font());
  SIZE extent{0, 0};
  GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &extent);
  return extent.cx;
}

TfrmMain::TfrmMain(frame::Application& owner)
    : application_(owner),
      instance_(owner.Instance()),
      formClass_(instance_, kWindowClassName, frame::WindowProcedure<TfrmMain, &TfrmMain::HandleMessage>,
                 owner.Icon(), COLOR_BTNFACE),
      groupBoxClass_(instance_, kGroupBoxClassName,
                     frame::WindowProcedure<TfrmMain, &TfrmMain::HandleGroupBoxMessage>, nullptr,
                     COLOR_BTNFACE),
      // The primary monitor's, where the window first shows; corrected at
      // creation when the window's own differs.
      dpi_(dpi::System()),
      font_(CreateWindowFont(dpi_)),
      closeGlyph_(PictureFor(instance_, kClosePicture, layout::kDoorPictureSize, 2, dpi_)),
      openGlyph_(PictureFor(instance_, kOpenPicture, layout::kFolderPictureSize, 1, dpi_)),
      fileExit1_(std::make_unique<TFileExit>(owner)),
      fileOpen1_(std::make_unique<TFileOpen>(owner)),
      taskbar_(SystemTaskbarProgress(owner.Handle())),
      measure_(*this),
      converter_(std::make_unique<Converter>(*this, WindowOptions(false))) {
  if (!font_) throw Exception(frame::SystemErrorText(GetLastError()));
  actionList1_.Add(*fileExit1_);
  actionList1_.Add(*fileOpen1_);
  fileOpen1_->BeforeExecute = [this](TAction& sender) { FileOpen1BeforeExecute(sender); };
  fileOpen1_->OnAccept = [this](TAction& sender) { FileOpen1Accept(sender); };

  const SIZE outer = OuterSize();
  const std::wstring caption = Cp932ToWideLossy(texts::kMainCaption);
  // Placed when first shown; the designed position is not used.
  if (CreateWindowExW(kFormExtendedStyle, kWindowClassName, caption.c_str(), kFormStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, outer.cx, outer.cy, owner.Handle(), nullptr, instance_,
                      this) == nullptr) {
    throw Exception(frame::SystemErrorText(GetLastError()));
  }
}

TfrmMain::~TfrmMain() {
  if (window_ != nullptr) DestroyWindow(window_);
}

SIZE TfrmMain::OuterSize(int dpi) const {
  const RECT client{0, 0, dpi::Scale(layout::kClientWidth, dpi), dpi::Scale(layout::kClientHeight, dpi)};
  const RECT bounds = dpi::AdjustWindowRect(client, kFormStyle, kFormExtendedStyle, dpi);
  return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

std::vector<HWND> TfrmMain::TabOrder() const {
  return {staticText1_, btn_, txt1_, txt2_, edit1_, txt3_, bitBtn1_};
}

// --- Creation -------------------------------------------------------------

HWND TfrmMain::CreateControl(const wchar_t* windowClass, std::string_view text, DWORD style,
                             DWORD extendedStyle, int left, int top, int width, int height, HWND parent) {
  const std::wstring wide = Cp932ToWideLossy(text);
  // Only the window's own group frame class takes the window object along.
  void* const creationData = windowClass == kGroupBoxClassName ? this : nullptr;
  const layout::Box box = dpi::Scale(layout::Box{left, top, width, height}, dpi_);
  const HWND control = CreateWindowExW(extendedStyle, windowClass, wide.c_str(), style, box.left, box.top,
                                       box.width, box.height, parent, nullptr, instance_, creationData);
  if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return control;
}

bool TfrmMain::CreateControls() {
  using namespace layout;
  groupBox1_ =
      CreateControl(kGroupBoxClassName, "", kChild | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                    kGroupBox1.left, kGroupBox1.top, kGroupBox1.width, kGroupBox1.height, window_);
  if (groupBox1_ == nullptr) return false;
  // Created in tab order, which is also their stacking order.
  staticText1_ = CreateControl(L"STATIC", texts::kIntroText, kChild | SS_LEFT, 0, kStaticText1.left,
                               kStaticText1.top, kStaticText1.width, kStaticText1.height, groupBox1_);
  const std::string btnCaption = LinkedCaption(texts::kExitCaption, kBtnName, fileExit1_->Caption());
  btnCaption_ = Cp932ToWideLossy(btnCaption);
  btn_ = CreateControl(L"BUTTON", AccessibleName(btnCaption, fileExit1_->Hint()),
                       kChild | WS_TABSTOP | BS_OWNERDRAW, 0, kBtn.left, kBtn.top, kBtn.width, kBtn.height,
                       groupBox1_);
  txt1_ = CreateControl(L"STATIC", texts::kTargetLabel, kChild | SS_LEFT, 0, kTxt1.left, kTxt1.top,
                        kTxt1.width, kTxt1.height, groupBox1_);
  txt2_ = CreateControl(L"STATIC", texts::kProgressLabel, kChild | SS_LEFT, 0, kTxt2.left, kTxt2.top,
                        kTxt2.width, kTxt2.height, groupBox1_);
  edit1_ = CreateControl(L"EDIT", "", kChild | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY,
                         WS_EX_CLIENTEDGE, kEdit1.left, kEdit1.top, kEdit1.width, kEdit1.height, groupBox1_);
  // Owner-drawn, so that a repaint and the immediate drawing of a new text
  // are one and the same routine.
  txt3_ = CreateControl(L"STATIC", "", kChild | SS_OWNERDRAW, 0, kTxt3.left, kTxt3.top, kTxt3.width,
                        kTxt3.height, groupBox1_);
  const std::string openCaption = LinkedCaption("", kBitBtn1Name, fileOpen1_->Caption());
  bitBtn1Caption_ = Cp932ToWideLossy(openCaption);
  bitBtn1_ = CreateControl(L"BUTTON", AccessibleName(openCaption, fileOpen1_->Hint()),
                           kChild | WS_TABSTOP | BS_OWNERDRAW, 0, kBitBtn1.left, kBitBtn1.top, kBitBtn1.width,
                           kBitBtn1.height, groupBox1_);
  for (HWND control : TabOrder()) {
    if (control == nullptr) return false;
  }
  frame::Subclass<TfrmMain, &TfrmMain::HandleStatusLineMessage, &TfrmMain::statusLineProcedure_>(txt3_,
                                                                                                 *this);
  for (HWND staticText : {staticText1_, txt1_, txt2_}) {
    frame::Subclass<TfrmMain, &TfrmMain::HandleStaticTextMessage, &TfrmMain::staticTextProcedure_>(staticText,
                                                                                                   *this);
  }
  FitToText(staticText1_);
  FitToText(txt1_);
  FitToText(txt2_);
  return true;
}

void TfrmMain::FitToText(HWND staticText) {
  const std::wstring text = ControlText(staticText);
  RECT box{0, 0, 0, 0};
  {
    const ClientDC dc = ClientDCOf(staticText);
    if (!dc) return;
    const Selected font(dc.get(), font_.get());
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &box, DT_CALCRECT | DT_EXPANDTABS);
  }
  const int padding = dpi::Scale(layout::kStaticTextPadding, dpi_);
  SetWindowPos(staticText, nullptr, 0, 0, box.right - box.left + padding, box.bottom - box.top + padding,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::UseDpi(int dpi) {
  // Everything that can fail first, so that a failure leaves the window as
  // it was.
  FontObject font(CreateWindowFont(dpi));
  if (!font) throw Exception(frame::SystemErrorText(GetLastError()));
  std::unique_ptr<Glyph> close = PictureFor(instance_, kClosePicture, layout::kDoorPictureSize, 2, dpi);
  std::unique_ptr<Glyph> open = PictureFor(instance_, kOpenPicture, layout::kFolderPictureSize, 1, dpi);
  dpi_ = dpi;
  // The previous font lives until the end, after every control has let go of it.
  std::swap(font_, font);
  closeGlyph_ = std::move(close);
  openGlyph_ = std::move(open);
  // The status line's picture was drawn in the old font and size.
  statusPicture_.reset();
  if (groupBox1_ != nullptr) PlaceControls();
}

void TfrmMain::PlaceControls() {
  using namespace layout;
  const std::pair<HWND, Box> places[] = {
      {groupBox1_, kGroupBox1},
      {staticText1_, kStaticText1},
      {btn_, kBtn},
      {txt1_, kTxt1},
      {txt2_, kTxt2},
      {edit1_, kEdit1},
      {txt3_, kTxt3},
      {bitBtn1_, kBitBtn1},
  };
  for (const auto& [control, design] : places) {
    const Box box = dpi::Scale(design, dpi_);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SetWindowPos(control, nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FitToText(staticText1_);
  FitToText(txt1_);
  FitToText(txt2_);
  // Everything repaints in the new font and size, the status line (which
  // draws from its own text) included.
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  InvalidateRect(txt3_, nullptr, TRUE);
}

// --- Messages -------------------------------------------------------------

LRESULT TfrmMain::HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: return OnNcCreate(window, wparam, lparam);
    case WM_NCDESTROY: return OnNcDestroy(wparam, lparam);
    case WM_CREATE: return OnCreate();
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lparam));
    case WM_WINDOWPOSCHANGING:
      return OnWindowPosChanging(*reinterpret_cast<WINDOWPOS*>(lparam), wparam, lparam);
    case WM_SIZING: return OnSizing(*reinterpret_cast<RECT*>(lparam));
    case WM_DPICHANGED: return OnDpiChanged(wparam, *reinterpret_cast<const RECT*>(lparam));
    case kGetDpiScaledSize: return OnGetDpiScaledSize(wparam, *reinterpret_cast<SIZE*>(lparam));
    case WM_ACTIVATE: return OnActivate(wparam);
    case WM_SETFOCUS: return OnSetFocus();
    case WM_COMMAND: return OnCommand(wparam, lparam);
    case WM_DRAWITEM: return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_SYSCOMMAND: return OnSysCommand(wparam, lparam);
    case WM_CLOSE: return OnClose();
    case WM_QUERYENDSESSION: return OnQueryEndSession();
    case WM_DROPFILES: return OnDropFiles(reinterpret_cast<HDROP>(wparam));
    case WM_ENABLE: return OnEnable(wparam);
    case kTakeDrops: TakeDrops(); return 0;
    default: return DefWindowProcW(window_, message, wparam, lparam);
  }
}

LRESULT TfrmMain::HandleStatusLineMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(statusWide_.size());
    case WM_GETTEXT: {
      if (wparam == 0) return 0;
      const std::size_t copied = statusWide_.copy(reinterpret_cast<wchar_t*>(lparam), wparam - 1);
      reinterpret_cast<wchar_t*>(lparam)[copied] = L'\0';
      return static_cast<LRESULT>(copied);
    }
    case WM_SETTEXT: {
      const auto* text = reinterpret_cast<const wchar_t*>(lparam);
      SetStatus(WideToCp932Lossy(text != nullptr ? std::wstring_view(text) : std::wstring_view()));
      return TRUE;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      statusFocused_ = message == WM_SETFOCUS;
      InvalidateRect(txt3_, nullptr, FALSE);
      return CallWindowProcW(statusLineProcedure_, txt3_, message, wparam, lparam);
    default: return CallWindowProcW(statusLineProcedure_, txt3_, message, wparam, lparam);
  }
}

LRESULT TfrmMain::HandleStaticTextMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const WNDPROC original = staticTextProcedure_;
  const LRESULT result = CallWindowProcW(original, window, message, wparam, lparam);
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    InvalidateRect(window, nullptr, TRUE);
  } else if (message == WM_PAINT && GetFocus() == window) {
    const ClientDC dc = ClientDCOf(window);
    if (dc) DrawFocusMark(dc.get(), window);
  }
  return result;
}

LRESULT TfrmMain::HandleGroupBoxMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: return OnGroupBoxPaint(window);
    // The frame's controls report to the window, which handles them all.
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC: return HandleMessage(window_, message, wparam, lparam);
    default: return DefWindowProcW(window, message, wparam, lparam);
  }
}

LRESULT TfrmMain::OnGroupBoxPaint(HWND window) {
  const PaintDC dc = BeginPainting(window);
  RECT bounds{};
  GetClientRect(window, &bounds);
  if (dc) PaintGroupFrame(dc.get(), bounds, dpi::Scale(layout::kGroupFrameTop, dpi_));
  return 0;
}

LRESULT TfrmMain::OnNcCreate(HWND window, WPARAM wparam, LPARAM lparam) {
  // The handle is known from here on, before CreateWindowExW returns it.
  window_ = window;
  dpi::ScaleFrameOf(window_);
  return DefWindowProcW(window_, WM_NCCREATE, wparam, lparam);
}

LRESULT TfrmMain::OnNcDestroy(WPARAM wparam, LPARAM lparam) {
  // Nothing reaches the window after this; the destructor must not destroy it again.
  const HWND window = std::exchange(window_, nullptr);
  return DefWindowProcW(window, WM_NCDESTROY, wparam, lparam);
}

LRESULT TfrmMain::OnCreate() {
  const int dpi = dpi::OfWindow(window_);
  if (dpi != dpi_) {
    try {
      UseDpi(dpi);
    } catch (const Exception&) {
      return -1;
    }
    const SIZE outer = OuterSize();
    SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (!CreateControls()) return -1;
  // Files and folders dragged from Explorer arrive as WM_DROPFILES.
  DragAcceptFiles(window_, TRUE);
  // The two items of our own go in the system menu, so that the designed
  // layout stays as it is.
  if (HMENU menu = GetSystemMenu(window_, FALSE)) {
    const std::wstring backup = Cp932ToWideLossy(texts::kBackupMenuItem);
    const std::wstring restore = Cp932ToWideLossy(texts::kRestoreMenuItem);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | MF_UNCHECKED, kBackupCommand, backup.c_str());
    AppendMenuW(menu, MF_STRING, kRestoreCommand, restore.c_str());
  }
  return 0;
}

LRESULT TfrmMain::OnGetMinMaxInfo(MINMAXINFO& limits) {
  // The group frame can be neither smaller nor larger than its design, and
  // the window takes its limits from it.
  const SIZE outer = OuterSize();
  limits.ptMinTrackSize = POINT{outer.cx, outer.cy};
  limits.ptMaxTrackSize = POINT{outer.cx, outer.cy};
  limits.ptMaxSize = POINT{outer.cx, outer.cy};
  return 0;
}

LRESULT TfrmMain::OnWindowPosChanging(WINDOWPOS& position, WPARAM wparam, LPARAM lparam) {
  if ((position.flags & SWP_NOSIZE) == 0 && !IsIconic(window_)) {
    const SIZE outer = OuterSize();
    position.cx = outer.cx;
    position.cy = outer.cy;
  }
  return DefWindowProcW(window_, WM_WINDOWPOSCHANGING, wparam, lparam);
}

LRESULT TfrmMain::OnSizing(RECT& dragged) {
  // The size cannot change, so a drag of any border ends where the window
  // is. Left alone, a drag of the left or top border would end with the
  // dragged edge a pixel off and the window moved by that pixel.
  GetWindowRect(window_, &dragged);
  return TRUE;
}

LRESULT TfrmMain::OnDpiChanged(WPARAM wparam, const RECT& suggested) {
  // Both halves of wparam carry the new DPI, the same across and down.
  UseDpi(LOWORD(wparam));
  // Where the system suggests, at the exact size: its rectangle is the old
  // one scaled, which rounding can leave a pixel off.
  const SIZE outer = OuterSize();
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, outer.cx, outer.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

LRESULT TfrmMain::OnGetDpiScaledSize(WPARAM wparam, SIZE& size) {
  // The size the window will take at the new DPI, so that the rectangle the
  // system then suggests has it already.
  size = OuterSize(static_cast<int>(wparam));
  return TRUE;
}

LRESULT TfrmMain::OnActivate(WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
    return 0;
  }
  if (HIWORD(wparam) == 0) OnSetFocus();  // not minimised
  return 0;
}

LRESULT TfrmMain::OnSetFocus() {
  // The window itself never keeps the focus: it goes to the control that
  // had it last, at first to the first control that Tab reaches.
  const bool remembered = lastFocus_ != nullptr && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_) &&
                          IsWindowEnabled(lastFocus_);
  const HWND target = remembered ? lastFocus_ : FirstTabStop();
  if (target != nullptr) SetFocus(target);
  return 0;
}

LRESULT TfrmMain::OnCommand(WPARAM wparam, LPARAM lparam) {
  const HWND control = reinterpret_cast<HWND>(lparam);
  if (HIWORD(wparam) == BN_CLICKED && IsButton(control)) ClickButton(control);
  return 0;
}

LRESULT TfrmMain::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem == txt3_) {
    ShowStatusOn(item.hDC, true);
  } else if (item.hwndItem == btn_) {
    PaintPictureButton(item, closeGlyph_.get(), btnCaption_, font_.get(),
                       dpi::Scale(layout::kGlyphSpacing, dpi_), dpi::Scale(layout::kFocusInset, dpi_));
  } else if (item.hwndItem == bitBtn1_) {
    PaintPictureButton(item, openGlyph_.get(), bitBtn1Caption_, font_.get(),
                       dpi::Scale(layout::kGlyphSpacing, dpi_), dpi::Scale(layout::kFocusInset, dpi_));
  } else {
    return FALSE;
  }
  return TRUE;
}

LRESULT TfrmMain::OnCtlColorStatic(HDC dc, HWND control) {
  // The read-only target box keeps the window colour of an edit box.
  const int background = control == edit1_ ? COLOR_WINDOW : COLOR_BTNFACE;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(background));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

LRESULT TfrmMain::OnSysCommand(WPARAM wparam, LPARAM lparam) {
  const UINT command = static_cast<UINT>(wparam & 0xFFF0);
  if (command == SC_MINIMIZE) {
    // The whole application goes to its taskbar button.
    application_.Minimize();
    return 0;
  }
  if (command == kBackupCommand || command == kRestoreCommand) {
    // Only another program's message reaches the menu during a conversion;
    // like the user's choices, it takes effect afterwards.
    if (converting_) {
      PostMessageW(window_, WM_SYSCOMMAND, wparam, lparam);
    } else if (command == kBackupCommand) {
      SetBackupBeforeConverting(!backup_);
    } else {
      RestoreChosen();
    }
    return 0;
  }
  return DefWindowProcW(window_, WM_SYSCOMMAND, wparam, lparam);
}

LRESULT TfrmMain::OnClose() {
  Close();
  return 0;
}

LRESULT TfrmMain::OnQueryEndSession() {
  if (!running_ || !converting_) return TRUE;
  // The run stops at its next record, asking nothing, and the window ends
  // then, without its box: the session waits for that, not for the run.
  stopping_ = true;
  closing_ = true;
  endingSession_ = true;
  pendingDrops_.clear();
  if (asking_) EndQuestion();
  const std::wstring reason = Cp932ToWideLossy(texts::kStoppingReason);
  ShutdownBlockReasonCreate(window_, reason.c_str());
  return FALSE;
}

// --- Keyboard -------------------------------------------------------------

bool TfrmMain::PreviewKey(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const auto key = static_cast<unsigned>(message.wParam);
      const ShortCut shortcut = ShortCutOf(key, KeyDown(VK_SHIFT), KeyDown(VK_CONTROL), KeyDown(VK_MENU));
      if (TAction* action = actionList1_.FindShortCut(shortcut)) {
        action->Execute();
        return true;
      }
      return message.message == WM_KEYDOWN && DialogKey(key);
    }
    case WM_CHAR:
      // A button's access key works alone while a button has the focus.
      return IsButton(GetFocus()) && AccessKey(static_cast<wchar_t>(message.wParam));
    case WM_SYSCHAR: return AccessKey(static_cast<wchar_t>(message.wParam));
    default: return false;
  }
}

bool TfrmMain::DialogKey(unsigned key) {
  const HWND focus = GetFocus();
  switch (key) {
    case VK_TAB:
      if (KeyDown(VK_CONTROL) || KeyDown(VK_MENU)) return false;
      MoveFocus(!KeyDown(VK_SHIFT), true);
      return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
      // The target box moves its caret; everything else moves the focus.
      const std::vector<HWND> order = TabOrder();
      if (focus == edit1_ || std::find(order.begin(), order.end(), focus) == order.end()) return false;
      MoveFocus(key == VK_RIGHT || key == VK_DOWN, false);
      return true;
    }
    case VK_RETURN:
      // No button is the default button: Enter clicks only a focused one.
      if (IsButton(focus)) ClickButton(focus);
      return true;
    case VK_ESCAPE:
      // Nor is any the cancel button.
      return true;
    default: return false;
  }
}

bool TfrmMain::AccessKey(wchar_t character) {
  const auto upper = [](wchar_t c) {
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(c))));
  };
  for (HWND button : {btn_, bitBtn1_}) {
    const std::wstring& caption = CaptionOf(button);
    const std::size_t marker = caption.find(L'&');
    if (marker == std::wstring::npos || marker + 1 >= caption.size()) continue;
    if (upper(caption[marker + 1]) == upper(character) && IsWindowEnabled(button) &&
        IsWindowVisible(button)) {
      ClickButton(button);
      return true;
    }
  }
  return false;
}

void TfrmMain::MoveFocus(bool forward, bool tabStopsOnly) {
  const std::vector<HWND> order = TabOrder();
  const auto found = std::find(order.begin(), order.end(), GetFocus());
  std::optional<std::size_t> current;
  if (found != order.end()) current = static_cast<std::size_t>(found - order.begin());
  const auto next = NextInRing(order.size(), current, forward, [&](std::size_t index) {
    const HWND control = order[index];
    if (!IsWindowVisible(control) || !IsWindowEnabled(control)) return false;
    return !tabStopsOnly || (GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0;
  });
  if (next) FocusByKeyboard(order[*next]);
}

void TfrmMain::FocusByKeyboard(HWND control) {
  SetFocus(control);
  if (control == edit1_) SendMessageW(edit1_, EM_SETSEL, 0, -1);
}

HWND TfrmMain::FirstTabStop() const {
  for (HWND control : TabOrder()) {
    if ((GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0 && IsWindowVisible(control) &&
        IsWindowEnabled(control)) {
      return control;
    }
  }
  return nullptr;
}

void TfrmMain::ClickButton(HWND button) {
  if (converting_ && button == btn_) {
    // Another program's click on 終了 is a close request like any other.
    Close();
    return;
  }
  if (converting_) {
    // Only another program's message reaches a button during a conversion;
    // like the user's clicks, it takes effect after the conversion.
    PostMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return;
  }
  if (button == btn_) {
    // The close kind closes the window that holds the button, without the
    // exit action.
    Close();
  } else if (button == bitBtn1_) {
    fileOpen1_->Execute();
  }
}

void TfrmMain::Close() {
  if (running_ && converting_ && !stopping_) {
    // While a run converts, a close request asks first whether to stop it;
    // the run asks at its next record. Asked already: it joins that question.
    stopAsked_ = StopAsk::Close;
    return;
  }
  // This is the main form: closing it ends the program, asking nothing.
  // After a run's stop, or during a run's box, it ends after that box.
  closing_ = true;
  if (!running_) application_.RequestEnd();
}

std::optional<std::string> TfrmMain::HintOf(HWND window) const {
  if (window == btn_) return fileExit1_->Hint();
  if (window == bitBtn1_) return fileOpen1_->Hint();
  if (window == window_ || IsChild(window_, window)) return std::string();
  return std::nullopt;
}

// --- The conversion's face -------------------------------------------------

void TfrmMain::SetStatus(std::string_view text) {
  if (converting_) {
    AnswerSentMessages();
  }
  if (text == statusText_) return;
  statusText_ = text;
  statusWide_ = Cp932ToWideLossy(text);
  DrawStatusLine();
}

void TfrmMain::DrawStatusLine() {
  // The same picture serves the line's repaints, so a later repaint (after
  // the window was covered, say) shows exactly this; nothing needs marking.
  if (statusDc_ != nullptr) {
    ShowStatusOn(statusDc_, false);
    return;
  }
  const ClientDC dc = ClientDCOf(txt3_);
  if (dc) ShowStatusOn(dc.get(), false);
}

void TfrmMain::ShowStatusOn(HDC dc, bool whole) {
  RECT bounds{};
  GetClientRect(txt3_, &bounds);
  const SIZE size{bounds.right, bounds.bottom};
  if (statusPicture_ == nullptr || statusPicture_->Font() != font_.get() ||
      statusPicture_->Size().cx != size.cx || statusPicture_->Size().cy != size.cy) {
    statusPicture_ = StatusLinePicture::Create(dc, size, font_.get());
    whole = true;
  }
  if (statusPicture_ == nullptr) {
    PaintStatusLine(dc, bounds, statusWide_, font_.get());
    return;
  }
  const RECT changed = statusPicture_->Compose(statusWide_);
  // A focus mark crosses every part of the line: the whole line again, then
  // the mark.
  statusPicture_->CopyTo(dc, whole || statusFocused_ ? bounds : changed);
  if (statusFocused_) DrawFocusMark(dc, txt3_);
}

void TfrmMain::AnswerSentMessages() {
  // Posted messages, the user's input among them, stay queued for afterwards.
  const ULONGLONG now = GetTickCount64();
  if (now - lastAnswered_ < kLookInterval) return;
  lastAnswered_ = now;
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  // The whole line again, in case the system took part of it away meanwhile.
  if (statusDc_ != nullptr) ShowStatusOn(statusDc_, true);
}

void TfrmMain::SetTarget(std::string_view text) {
  frame::SetWindowTextBytes(edit1_, text);
  // Not required during a pass, but cheap once per pass: the user sees which
  // file is being converted.
  UpdateWindow(edit1_);
}

std::int32_t TfrmMain::TargetWidth() {
  RECT bounds{};
  GetWindowRect(edit1_, &bounds);
  return bounds.right - bounds.left;
}

class TfrmMain::Converting {
 public:
  Converting(TfrmMain& form, HDC statusDc) noexcept : form_(form) {
    form_.converting_ = true;
    form_.statusDc_ = statusDc;
    form_.lastAnswered_ = GetTickCount64();
  }
  ~Converting() {
    form_.converting_ = false;
    form_.statusDc_ = nullptr;
    // A run's button stays for its box.
    if (!form_.running_) form_.ClearProgress();
  }
  Converting(const Converting&) = delete;
  Converting& operator=(const Converting&) = delete;

 private:
  TfrmMain& form_;
};

void TfrmMain::Convert(std::string_view projectPath) {
  // The line's device context is held for the whole conversion: fetching it
  // for each record would cost more than drawing the record's number.
  const ClientDC statusDc = ClientDCOf(txt3_);
  const Converting converting(*this, statusDc.get());
  try {
    converter_->Convert(projectPath);
  } catch (const EBackupRefused& error) {
    // Said in the window's words, from what the refusal carries.
    if (const StopReason* reason = ReasonOf(error)) throw Exception(BackupRefusalText(*reason));
    throw;
  }
}

void TfrmMain::SetBackupBeforeConverting(bool on) {
  backup_ = on;
  converter_ = std::make_unique<Converter>(*this, WindowOptions(on));
  if (HMENU menu = GetSystemMenu(window_, FALSE))
    CheckMenuItem(menu, kBackupCommand, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

// --- Stopping a run ---------------------------------------------------------

bool TfrmMain::StopRequested() {
  return StopWanted(false);
}

bool TfrmMain::StopWanted(bool lookNow) {
  // A lone conversion takes no input, as ever.
  if (!running_ || !converting_) return false;
  if (stopping_) return true;
  const ULONGLONG now = GetTickCount64();
  if (lookNow || now - lastLooked_ >= kLookInterval) {
    lastLooked_ = now;
    TakeStopInput();
  }
  return stopAsked_ != StopAsk::None && AskToStop();
}

void TfrmMain::TakeStopInput() {
  MSG message{};
  // Only the first key waiting can be taken without moving the others: an
  // Esc there (and its release right behind it). Any other key in front of
  // it, Alt of Alt+F4 among them, means something of its own and waits.
  if (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE | PM_NOYIELD) &&
      message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE &&
      (message.hwnd == window_ || IsChild(window_, message.hwnd))) {
    PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE | PM_NOYIELD);
    if (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE | PM_NOYIELD) &&
        message.message == WM_KEYUP && message.wParam == VK_ESCAPE) {
      PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE | PM_NOYIELD);
    }
    if (stopAsked_ == StopAsk::None) stopAsked_ = StopAsk::Stop;
  }
  // A posted close request, to the window or to the application window (the
  // taskbar's): nothing else is a WM_CLOSE, and a system command is taken
  // only when it is the first waiting for its window, so nothing else moves.
  // Handled as it would be afterwards, it reaches Close.
  for (const HWND window : {window_, application_.Handle()}) {
    if (PeekMessageW(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE | PM_NOYIELD))
      DispatchMessageW(&message);
    if (PeekMessageW(&message, window, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE | PM_NOYIELD) &&
        (message.wParam & 0xFFF0) == SC_CLOSE &&
        PeekMessageW(&message, window, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE | PM_NOYIELD)) {
      DispatchMessageW(&message);
    }
  }
}

bool TfrmMain::AskToStop() {
  if (asking_) return false;
  asking_ = true;
  taskbar_->SetState(TaskbarState::Paused);
  const std::wstring question = Cp932ToWideLossy(texts::kStopQuestion);
  const std::wstring caption = Cp932ToWideLossy(application_.Title());
  int answer = IDNO;
  {
    // The run waits here, its folders held; a close request meanwhile joins
    // this question.
    frame::Application::ModalScope modal;
    answer =
        MessageBoxW(window_, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  }
  asking_ = false;
  taskbar_->SetState(progressShown_ ? TaskbarState::Normal : TaskbarState::None);
  const bool close = stopAsked_ == StopAsk::Close;
  stopAsked_ = StopAsk::None;
  // A logoff decided meanwhile, whatever the box said.
  if (stopping_) return true;
  if (answer != IDYES) return false;
  stopping_ = true;
  if (close) closing_ = true;
  pendingDrops_.clear();
  return true;
}

namespace {

struct QuestionSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindQuestion(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<QuestionSearch*>(context);
  wchar_t kind[16] = {};
  GetClassNameW(window, kind, 16);
  if (GetWindow(window, GW_OWNER) == search.owner && std::wstring_view(kind) == L"#32770") {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void TfrmMain::EndQuestion() {
  QuestionSearch search{window_, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindQuestion, reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr) PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
}

// --- Dropped files and folders --------------------------------------------

LRESULT TfrmMain::OnDropFiles(HDROP drop) {
  std::vector<std::wstring> names = TakeDroppedNames(drop);
  // A drop without names (its list unreadable here) converts nothing.
  if (names.empty()) return 0;
  pendingDrops_.push_back(std::move(names));
  TakeDrops();
  return 0;
}

LRESULT TfrmMain::OnEnable(WPARAM wparam) {
  // A box or the open dialog has closed: a drop made meanwhile is taken now,
  // through the loop, after whatever the closing box's owner still does.
  if (wparam != FALSE && !pendingDrops_.empty()) PostMessageW(window_, kTakeDrops, 0, 0);
  return 0;
}

void TfrmMain::TakeDrops() {
  // A drop that comes during a conversion or a run (only another program's
  // message reaches the window then), or while a box or the dialog is open,
  // waits for the window to be idle again, like the user's other input.
  if (converting_ || running_ || closing_ || !IsWindowEnabled(window_) || pendingDrops_.empty()) return;
  const std::vector<std::wstring> names = std::move(pendingDrops_.front());
  pendingDrops_.pop_front();
  ConvertDropped(names);
  if (!pendingDrops_.empty()) PostMessageW(window_, kTakeDrops, 0, 0);
}

void TfrmMain::DropAtStart(std::vector<std::wstring> names) {
  if (names.empty()) return;
  pendingDrops_.push_back(std::move(names));
  PostMessageW(window_, kTakeDrops, 0, 0);
}

void TfrmMain::ConvertDropped(const std::vector<std::wstring>& names) {
  if (const std::optional<std::string> project = LoneProject(names)) {
    // Exactly the open dialog's way, its error box included.
    Convert(*project);
    return;
  }
  RunDropped(names);
}

class TfrmMain::Running {
 public:
  explicit Running(TfrmMain& form) noexcept : form_(form) {
    form_.running_ = true;
    form_.stopAsked_ = StopAsk::None;
    form_.stopping_ = false;
    form_.lastLooked_ = 0;
  }
  ~Running() {
    form_.running_ = false;
    form_.stopping_ = false;
    form_.stopAsked_ = StopAsk::None;
    if (form_.endingSession_) ShutdownBlockReasonDestroy(form_.window_);
    form_.RestoreCaption();
    form_.ClearProgress();
    // A close asked for meanwhile takes effect now; otherwise the next drop.
    if (form_.closing_) {
      form_.application_.RequestEnd();
    } else if (!form_.pendingDrops_.empty()) {
      PostMessageW(form_.window_, kTakeDrops, 0, 0);
    }
  }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  TfrmMain& form_;
};

void TfrmMain::RunDropped(const std::vector<std::wstring>& names) {
  const Running running(*this);
  RunTally tally;
  {
    // One conversion's arrangements hold for the whole run: posted input
    // waits, sent messages are answered, the status line draws at once.
    const ClientDC statusDc = ClientDCOf(txt3_);
    const Converting converting(*this, statusDc.get());
    const std::vector<RunItem> items = PlanRun(names, [this] { AnswerSentMessages(); });
    const auto projects = static_cast<std::size_t>(std::count_if(
        items.begin(), items.end(), [](const RunItem& item) { return item.kind == RunItem::Kind::Project; }));
    // Who reads which contents file is looked up once for the whole run, its
    // own projects among the readers, not again for each project.
    auto readers = std::make_shared<ContentsOwners>();
    std::vector<std::string> paths;
    for (const RunItem& item : items) {
      if (item.kind == RunItem::Kind::Project) paths.push_back(item.path);
    }
    readers->AddRunProjects(paths);
    converter_->ShareReadersIndex(std::move(readers));
    std::size_t done = 0;
    for (const RunItem& item : items) {
      switch (item.kind) {
        case RunItem::Kind::Project:
          // A stop asked for between projects starts no further one.
          if (StopWanted(true)) {
            tally.AddNotStarted();
            break;
          }
          ShowRunPosition(done + 1, projects);
          ShowProgress(done, projects);
          tally.Add(item.name, converter_->TryConvert(item.path));
          ++done;
          break;
        case RunItem::Kind::Failure: tally.AddFailure(item.name, item.message); break;
        case RunItem::Kind::Skipped: tally.AddSkipped(); break;
      }
    }
    converter_->ShareReadersIndex(nullptr);
    RestoreCaption();
    if (tally.AnyFailed()) {
      ShowFailedRun(projects);
    } else {
      ClearProgress();
    }
  }
  SetStatus(tally.StatusText());
  // A session that ends has no one to answer a box.
  if (endingSession_) return;
  ShowClosingBox(application_, tally.SummaryText(), tally.ListText(), tally.AnyFailed());
}

// --- Restoring from backups -------------------------------------------------

void TfrmMain::RestoreChosen() {
  if (restoreFolder_.empty())
    restoreFolder_ = Cp932ToWideLossy(ContainingDirectory(platform::ExecutablePath()));
  const std::vector<std::wstring> names =
      ChooseFiles(application_, window_, texts::kOpenFilter, restoreFolder_);
  RestoreProjects(names);
}

void TfrmMain::RestoreProjects(const std::vector<std::wstring>& names) {
  if (names.empty()) return;
  if (names.size() == 1) {
    // As a conversion says its result: the status line, or the error box.
    const std::optional<std::string> path = encoding::WideToCp932(names.front());
    if (!path) throw Exception(std::string(texts::kRunNameHasNoForm));
    const RestoreResult result = RestoreProject(*path, RestoreOptions());
    switch (result.outcome) {
      case RestoreOutcome::Restored: SetStatus(texts::kStatusRestored); return;
      case RestoreOutcome::AlreadyRestored: SetStatus(texts::kStatusAlreadyRestored); return;
      case RestoreOutcome::Refused:
      case RestoreOutcome::Failed:
      case RestoreOutcome::Interrupted: throw Exception(RestoreFailureText(result));
    }
    return;
  }
  RunTally tally(RunTally::Kind::Restore);
  for (const std::wstring& name : names) {
    const std::string shown = NamePart(WideToCp932Lossy(name));
    if (const std::optional<std::string> path = encoding::WideToCp932(name)) {
      tally.AddRestore(shown, RestoreProject(*path, RestoreOptions()));
    } else {
      tally.AddFailure(shown, WithClosingPeriod(texts::kRunNameHasNoForm));
    }
    AnswerSentMessages();
  }
  SetStatus(tally.StatusText());
  ShowClosingBox(application_, tally.SummaryText(), tally.ListText(), tally.AnyFailed());
}

void TfrmMain::ShowRunPosition(std::size_t project, std::size_t projects) {
  if (designedCaption_.empty()) designedCaption_ = Cp932ToWideLossy(frame::WindowText(window_));
  const std::wstring caption = designedCaption_ + kRunPositionSeparator + std::to_wstring(project) + L'/' +
                               std::to_wstring(projects) + kRunPositionEnd;
  SetWindowTextW(window_, caption.c_str());
}

void TfrmMain::RestoreCaption() {
  if (designedCaption_.empty()) return;
  SetWindowTextW(window_, designedCaption_.c_str());
  designedCaption_.clear();
}

// --- The taskbar button ----------------------------------------------------

void TfrmMain::ShowProgress(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return;
  // A million records would otherwise be a million calls to the taskbar.
  const std::uint64_t thousandths = std::min(done, total) * 1000 / total;
  if (!progressShown_) {
    taskbar_->SetState(TaskbarState::Normal);
    progressShown_ = true;
  } else if (thousandths == progressThousandths_ && done != 0 && done < total) {
    return;
  }
  progressThousandths_ = thousandths;
  taskbar_->SetValue(std::min(done, total), total);
}

void TfrmMain::ShowFailedRun(std::uint64_t projects) {
  const std::uint64_t total = std::max<std::uint64_t>(projects, 1);
  taskbar_->SetState(TaskbarState::Error);
  taskbar_->SetValue(total, total);
  progressShown_ = true;
}

void TfrmMain::ClearProgress() {
  if (!progressShown_) return;
  taskbar_->SetState(TaskbarState::None);
  progressShown_ = false;
}

void TfrmMain::RecordsDone(std::int32_t done, std::int32_t count) {
  // A run shows its projects instead.
  if (!converting_ || running_ || count <= 0) return;
  ShowProgress(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(count));
}

void TfrmMain::FileOpen1BeforeExecute(TAction&) {
  fileOpen1_->Dialog().SetInitialDir(ContainingDirectory(platform::ExecutablePath()));
}

void TfrmMain::FileOpen1Accept(TAction&) {
  const std::string path = fileOpen1_->Dialog().FileName();
  Convert(path);
}

}  // namespace kwt::ui
