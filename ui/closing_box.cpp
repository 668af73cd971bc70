#include "ui/closing_box.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "frame/window_procedure.h"
#include "runtime/cp932_text.h"
#include "ui/device_context.h"
#include "ui/dpi.h"

namespace kwt::ui {
namespace {

// The identifiers a message box gives its icon and its text, which screen
// readers and the tests know; the list's own.
constexpr int kIconId = 0x0014;
constexpr int kSummaryId = 0xFFFF;
constexpr int kListId = 0x0100;

// The layout at 96 dpi.
constexpr int kMargin = 12;
constexpr int kIconGap = 12;
constexpr int kListGap = 10;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kListMinWidth = 360;
constexpr int kListMaxWidth = 640;
// The lines the list shows before it scrolls, and the room for its margins.
constexpr std::size_t kListLines = 12;
constexpr int kListPadding = 10;

// Visible as soon as it has been laid out, as a message box is.
constexpr DWORD kBoxStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;

struct Box {
  explicit Box(frame::Application& shownBy) : application(shownBy) {}
  frame::Application& ErrorBoundary() const noexcept { return application; }
  INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleOkMessage(HWND button, UINT message, WPARAM wparam, LPARAM lparam);

  frame::Application& application;
  std::wstring caption;
  std::wstring summary;
  // Lines separated by "\r\n", as an edit box takes them.
  std::wstring list;
  HICON icon = nullptr;
  FontObject font;
  WNDPROC okProcedure = nullptr;
};

std::wstring WithCrLf(std::wstring_view text) {
  std::wstring result;
  result.reserve(text.size() + text.size() / 16);
  for (const wchar_t c : text) {
    if (c == L'\n') result += L'\r';
    result += c;
  }
  return result;
}

// Ctrl+C copies the whole box as a message box does: caption, text and
// button between dashed lines.
void CopyBox(HWND dialog, const Box& box) noexcept try {
  const std::wstring_view dashes = L"---------------------------\r\n";
  std::wstring text;
  text.append(dashes).append(box.caption).append(L"\r\n").append(dashes);
  text.append(WithCrLf(box.summary));
  if (!box.list.empty()) text.append(L"\r\n\r\n").append(box.list);
  text.append(L"\r\n").append(dashes).append(L"OK\r\n").append(dashes);
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return;
  if (void* target = GlobalLock(memory)) {
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    if (OpenClipboard(dialog)) {
      EmptyClipboard();
      // The clipboard owns the memory once it has taken it.
      if (SetClipboardData(CF_UNICODETEXT, memory) != nullptr) {
        CloseClipboard();
        return;
      }
      CloseClipboard();
    }
  }
  GlobalFree(memory);
} catch (...) {
  // Nothing is copied; nothing may escape into the system's code.
}

// The OK button, which has the focus unless the list has taken it, copies
// the box on Ctrl+C; the list copies what is selected in it.
LRESULT Box::HandleOkMessage(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_KEYDOWN && wparam == 'C' && (GetKeyState(VK_CONTROL) & 0x8000) != 0) {
    CopyBox(GetParent(button), *this);
    return 0;
  }
  return CallWindowProcW(okProcedure, button, message, wparam, lparam);
}

// The message font of the system, for dpi.
HFONT MessageFont(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
  LOGFONTW face = metrics.lfMessageFont;
  face.lfHeight = MulDiv(face.lfHeight, dpi, dpi::System());
  return CreateFontIndirectW(&face);
}

HWND Control(HWND dialog, const wchar_t* windowClass, const std::wstring& text, DWORD style,
             DWORD extendedStyle, int id, const RECT& place, HFONT font) {
  const HWND control =
      CreateWindowExW(extendedStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                      place.top, place.right - place.left, place.bottom - place.top, dialog,
                      reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
  if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// The counts' size, the list's line height and its longest line, in font.
struct Measures {
  SIZE summary{0, 0};
  int lineHeight = 0;
  int longestLine = 0;
  std::size_t lines = 0;
};

Measures Measure(HWND dialog, const Box& box, HFONT font) {
  Measures measures;
  const ClientDC dc = ClientDCOf(dialog);
  if (!dc) return measures;
  const Selected selected(dc.get(), font);
  RECT bounds{0, 0, 0, 0};
  DrawTextW(dc.get(), box.summary.c_str(), static_cast<int>(box.summary.size()), &bounds,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  measures.summary = SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  measures.lineHeight = metrics.tmHeight;
  if (box.list.empty()) return measures;
  std::size_t start = 0;
  while (start <= box.list.size()) {
    std::size_t end = box.list.find(L"\r\n", start);
    if (end == std::wstring::npos) end = box.list.size();
    SIZE extent{0, 0};
    GetTextExtentPoint32W(dc.get(), box.list.c_str() + start, static_cast<int>(end - start), &extent);
    measures.longestLine = std::max(measures.longestLine, static_cast<int>(extent.cx));
    ++measures.lines;
    start = end + 2;
  }
  return measures;
}

// Creates the controls, sizes the box to them and centres it on its owner's
// monitor.
void Lay(HWND dialog, Box& box) {
  SetWindowTextW(dialog, box.caption.c_str());
  const int dpi = dpi::OfWindow(dialog);
  const auto scale = [dpi](int value) { return dpi::Scale(value, dpi); };
  box.font.reset(MessageFont(dpi));
  const HFONT font = box.font ? box.font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const Measures measures = Measure(dialog, box, font);

  const int iconSize = GetSystemMetrics(SM_CXICON);
  const int left = scale(kMargin);
  const int textLeft = left + iconSize + scale(kIconGap);
  const int top = scale(kMargin);
  int contentWidth = measures.summary.cx;
  int contentBottom = top + std::max(static_cast<int>(measures.summary.cy), iconSize);

  const HWND icon = Control(dialog, L"STATIC", L"", SS_ICON, 0, kIconId,
                            RECT{left, top, left + iconSize, top + iconSize}, font);
  if (icon != nullptr) SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(box.icon), 0);
  Control(dialog, L"STATIC", box.summary, SS_LEFT | SS_NOPREFIX, 0, kSummaryId,
          RECT{textLeft, top, textLeft + measures.summary.cx, top + measures.summary.cy}, font);

  if (!box.list.empty()) {
    const int edges = 2 * GetSystemMetrics(SM_CXEDGE);
    const bool vertical = measures.lines > kListLines;
    const int needed =
        measures.longestLine + scale(kListPadding) + edges + (vertical ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    const int narrowest = std::max(scale(kListMinWidth), static_cast<int>(measures.summary.cx));
    const int widest = std::max(scale(kListMaxWidth), narrowest);
    const int width = std::clamp(needed, narrowest, widest);
    const bool horizontal = needed > width;
    const int height = static_cast<int>(std::min(measures.lines, kListLines)) * measures.lineHeight + edges +
                       (horizontal ? GetSystemMetrics(SM_CYHSCROLL) : 0);
    const int listTop = contentBottom + scale(kListGap);
    DWORD style = WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
    if (vertical) style |= WS_VSCROLL;
    if (horizontal) style |= WS_HSCROLL;
    Control(dialog, L"EDIT", box.list, style, WS_EX_CLIENTEDGE, kListId,
            RECT{textLeft, listTop, textLeft + width, listTop + height}, font);
    contentWidth = std::max(contentWidth, width);
    contentBottom = listTop + height;
  }

  const int clientWidth = std::max(textLeft + contentWidth + left, scale(kButtonWidth) + 2 * left);
  const int buttonTop = contentBottom + scale(kMargin);
  const int buttonLeft = (clientWidth - scale(kButtonWidth)) / 2;
  const HWND ok = Control(
      dialog, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK,
      RECT{buttonLeft, buttonTop, buttonLeft + scale(kButtonWidth), buttonTop + scale(kButtonHeight)}, font);
  const RECT client{0, 0, clientWidth, buttonTop + scale(kButtonHeight) + scale(kMargin)};

  const RECT outer = dpi::AdjustWindowRect(client, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)),
                                           static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)), dpi);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(GetWindow(dialog, GW_OWNER), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int x = std::max(work.left + (work.right - work.left - width) / 2, work.left);
  const int y = std::max(work.top + (work.bottom - work.top - height) / 2, work.top);
  SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (ok == nullptr) return;
  frame::Subclass<Box, &Box::HandleOkMessage, &Box::okProcedure>(ok, box);
  SetFocus(ok);
}

INT_PTR Box::HandleMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: try { Lay(dialog, *this);
      } catch (...) {
        // A box that cannot be laid out ends at once; the message box takes over.
        EndDialog(dialog, -1);
        return TRUE;
      }
      // The focus is on OK already.
      return FALSE;
    case WM_CTLCOLORSTATIC:
      // The read-only list keeps the window colour of an edit box.
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) == kListId) {
        const HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
      }
      return FALSE;
    case WM_COMMAND:
      // OK, Enter, Escape, Alt+F4 and the close box all answer it.
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

void ShowClosingBox(frame::Application& application, std::string_view summary, std::string_view list,
                    bool failed) {
  Box box(application);
  box.caption = Cp932ToWideLossy(application.Title());
  box.summary = Cp932ToWideLossy(summary);
  box.list = WithCrLf(Cp932ToWideLossy(list));
  box.icon = LoadIconW(nullptr, failed ? IDI_HAND : IDI_ASTERISK);

  // A template without controls, menu or title, of the system's dialog
  // class; the controls are made and placed when it starts.
  DLGTEMPLATE head{};
  head.style = kBoxStyle;
  constexpr std::size_t kHeadWords = (sizeof(DLGTEMPLATE) + sizeof(WORD) - 1) / sizeof(WORD);
  alignas(DWORD) std::array<WORD, kHeadWords + 3> words{};
  std::memcpy(words.data(), &head, sizeof(head));

  MessageBeep(failed ? MB_ICONSTOP : MB_ICONINFORMATION);
  INT_PTR answer = 0;
  {
    frame::Application::ModalScope modal;
    answer = DialogBoxIndirectParamW(
        application.Instance(), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), application.Handle(),
        frame::DialogProcedure<INT_PTR, Box, &Box::HandleMessage>, reinterpret_cast<LPARAM>(&box));
  }
  // Should the system refuse the box, the message box says it all.
  if (answer == -1) {
    std::string text(summary);
    if (!list.empty()) text.append("\n\n").append(list);
    application.ShowMessageBox(text, failed ? MB_ICONSTOP : MB_ICONINFORMATION);
  }
}

}  // namespace kwt::ui
