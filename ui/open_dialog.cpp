#include "ui/open_dialog.h"

#include <commdlg.h>

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "frame/application.h"
#include "frame/display_text.h"
#include "frame/window_procedure.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"

namespace kwt::ui {
namespace {

RECT MonitorOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  const HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY);
  if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) return info.rcMonitor;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// Moves the dialog as soon as it has been laid out, on the monitor chosen
// before it showed; the dialog's hook, which travels in its custom data.
struct Placement {
  frame::Application& application;
  RECT monitor;
  frame::Application& ErrorBoundary() const noexcept { return application; }
  UINT_PTR HandleMessage(HWND hookWindow, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lparam)->code == CDN_INITDONE) {
      const HWND dialog = GetParent(hookWindow);
      RECT bounds{};
      if (GetWindowRect(dialog, &bounds)) {
        const POINT origin =
            DialogOrigin(monitor, SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top});
        SetWindowPos(dialog, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
    }
    return 0;
  }
};

}  // namespace

std::vector<FilterEntry> SplitFilter(std::string_view filter) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < filter.size(); ++i) {
    if (filter[i] == '|' && ClassifyByte(filter, i) != ByteClass::Trail) {
      pieces.emplace_back(filter.substr(start, i - start));
      start = i + 1;
    }
  }
  pieces.emplace_back(filter.substr(start));
  std::vector<FilterEntry> entries;
  for (std::size_t i = 0; i < pieces.size(); i += 2) {
    if (pieces[i].empty() && i + 1 >= pieces.size()) break;
    entries.push_back(FilterEntry{pieces[i], i + 1 < pieces.size() ? pieces[i + 1] : std::string()});
  }
  return entries;
}

std::wstring DialogFilter(std::string_view filter) {
  std::wstring result;
  for (const FilterEntry& entry : SplitFilter(filter)) {
    result += Cp932ToWideLossy(entry.description);
    result += L'\0';
    result += Cp932ToWideLossy(entry.pattern);
    result += L'\0';
  }
  result += L'\0';
  return result;
}

std::string InitialDirValue(std::string_view dir) {
  const std::size_t size = dir.size();
  if (size > 1 && dir.back() == '\\' && ClassifyByte(dir, size - 1) != ByteClass::Trail &&
      dir[size - 2] != ':') {
    dir.remove_suffix(1);
  }
  return std::string(dir);
}

POINT DialogOrigin(const RECT& monitor, SIZE dialog) {
  const LONG width = monitor.right - monitor.left;
  const LONG height = monitor.bottom - monitor.top;
  return POINT{monitor.left + (width - dialog.cx) / 2, monitor.top + (height - dialog.cy) / 3};
}

DWORD TOpenDialog::Flags() {
  return OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK;
}

namespace {

// Shows the open dialog with options' filter index and flags, placed on the
// monitor of the active window (or of fallback), modal to owner; true when a
// name was accepted into buffer.
bool ShowOpenDialog(OPENFILENAMEW& options, frame::Application& owner, HWND fallback,
                    const std::wstring& filter, std::span<wchar_t> buffer, const std::wstring& initialDir) {
  const HWND active = GetActiveWindow();
  Placement placement{owner, MonitorOf(active != nullptr ? active : fallback)};
  options.lStructSize = sizeof(options);
  options.hwndOwner = owner.Handle();
  options.lpstrFilter = filter.c_str();
  options.lpstrFile = buffer.data();
  options.nMaxFile = static_cast<DWORD>(buffer.size());
  options.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
  options.lpfnHook = frame::DialogProcedure<UINT_PTR, Placement, &Placement::HandleMessage, OPENFILENAMEW>;
  options.lCustData = reinterpret_cast<LPARAM>(&placement);
  const frame::Application::ModalScope modal;
  return GetOpenFileNameW(&options) != FALSE;
}

}  // namespace

bool TOpenDialog::Execute(frame::Application& owner, HWND fallback) {
  const std::wstring filter = DialogFilter(filter_);
  const std::wstring initialDir = Cp932ToWideLossy(initialDir_);
  std::array<wchar_t, kFileNameBufferBytes> buffer{};
  const std::wstring name = Cp932ToWideLossy(CutToWholeCharacters(fileName_, kFileNameBufferBytes - 1));
  name.copy(buffer.data(), std::min(name.size(), buffer.size() - 1));

  OPENFILENAMEW options{};
  options.nFilterIndex = filterIndex_;
  options.Flags = Flags();
  if (!ShowOpenDialog(options, owner, fallback, filter, std::span<wchar_t>(buffer), initialDir)) return false;
  // A name with a character that code page 932 lacks could not be opened by
  // the byte-string core; like a name too long for the buffer, it is not taken.
  const std::optional<std::string> chosen = encoding::WideToCp932(buffer.data());
  if (!chosen || chosen->size() >= kFileNameBufferBytes) return false;
  fileName_ = *chosen;
  filterIndex_ = options.nFilterIndex;
  return true;
}

std::vector<std::wstring> ChosenNames(std::wstring_view buffer) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start < buffer.size() && buffer[start] != L'\0') {
    const std::size_t end = std::min(buffer.find(L'\0', start), buffer.size());
    parts.emplace_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() <= 1) return parts;
  std::wstring folder = parts.front();
  if (folder.back() != L'\\') folder += L'\\';
  std::vector<std::wstring> names;
  for (std::size_t i = 1; i < parts.size(); ++i) names.push_back(folder + parts[i]);
  return names;
}

std::vector<std::wstring> ChooseFiles(frame::Application& owner, HWND fallback, std::string_view filter,
                                      std::wstring& folder) {
  const std::wstring filterText = DialogFilter(filter);
  // Room for a few thousand names; a choice that does not fit is refused
  // by the dialog itself.
  std::vector<wchar_t> buffer(1 << 18, L'\0');
  OPENFILENAMEW options{};
  options.nFilterIndex = 1;
  options.Flags = TOpenDialog::Flags() | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
  if (!ShowOpenDialog(options, owner, fallback, filterText, std::span<wchar_t>(buffer), folder)) return {};
  std::vector<std::wstring> names = ChosenNames(std::wstring_view(buffer.data(), buffer.size()));
  if (!names.empty()) {
    const std::size_t cut = names.front().find_last_of(L'\\');
    if (cut != std::wstring::npos) folder = names.front().substr(0, cut);
  }
  return names;
}

}  // namespace kwt::ui
