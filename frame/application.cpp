#include "frame/application.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "frame/display_text.h"
#include "frame/window_procedure.h"
#include "runtime/cp932_text.h"
#include "runtime/error_text.h"
#include "runtime/file_names.h"
#include "runtime/texts.h"

namespace kwt::frame {
namespace {

// Asks the application window to hand the activation on to the main form;
// posted, since activation cannot change inside the activation message.
constexpr UINT kActivateMainForm = WM_APP + 1;

// The taskbar button's menu offers restoring, minimising and closing only.
constexpr UINT kRemovedSystemCommands[] = {SC_MAXIMIZE, SC_SIZE, SC_MOVE};

constexpr DWORD kApplicationWindowStyle =
    WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;

constexpr std::size_t kTitleLimit = 255;

HICON MainIcon(HINSTANCE instance) {
  HICON icon = LoadIconW(instance, L"MAINICON");
  return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

SIZE PrimaryScreen() {
  return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::string CurrentExceptionClassName() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) return "Exception";
  int status = 0;
  char* readable = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  std::string name = status == 0 && readable != nullptr ? readable : type->name();
  std::free(readable);
  return name;
}

// The module holding address, by its file name without directory, and the
// address's offset in it.
std::pair<std::string, std::uintptr_t> ModuleOffset(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module)) {
    return {std::string(), reinterpret_cast<std::uintptr_t>(address)};
  }
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  const std::string name = NamePart(WideToCp932Lossy(std::wstring_view(path, length)));
  return {name, reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module)};
}

// Lets the taskbar's message reach the window when the program runs with
// more rights than Explorer. Looked up, since Windows Vista lacks it.
void AllowFromExplorer(HWND window, UINT message) {
  using ChangeFilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return;
  const auto changeFilter = reinterpret_cast<ChangeFilterFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
  if (changeFilter != nullptr) changeFilter(window, message, kAllow, nullptr);
}

BOOL CALLBACK DisableWindow(HWND window, LPARAM context) {
  auto& disabled = *reinterpret_cast<std::vector<HWND>*>(context);
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabled.push_back(window);
  }
  return TRUE;
}

}  // namespace

POINT CentredOrigin(SIZE screen, SIZE window) {
  // Integer division truncates toward zero, as the placement rule asks.
  LONG left = (screen.cx - window.cx) / 2;
  LONG top = (screen.cy - window.cy) / 2;
  return POINT{left < 0 ? 0 : left, top < 0 ? 0 : top};
}

namespace {

std::size_t HintBar(std::string_view hint) {
  for (std::size_t i = 0; i < hint.size(); ++i) {
    if (hint[i] == '|' && ClassifyByte(hint, i) != ByteClass::Trail) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string_view LongHintPart(std::string_view hint) {
  const std::size_t bar = HintBar(hint);
  return bar == std::string_view::npos ? hint : hint.substr(bar + 1);
}

std::string_view ShortHintPart(std::string_view hint) {
  return hint.substr(0, HintBar(hint));
}

Application::Application()
    : instance_(GetModuleHandleW(nullptr)),
      icon_(MainIcon(instance_)),
      taskbarButtonCreated_(RegisterWindowMessageW(L"TaskbarButtonCreated")),
      windowClass_(instance_, kWindowClassName, WindowProcedure<Application, &Application::HandleMessage>,
                   icon_, COLOR_BTNFACE) {
  // Zero-sized at the screen's centre: it exists for its taskbar button.
  const SIZE screen = PrimaryScreen();
  window_ = CreateWindowExW(0, kWindowClassName, L"", kApplicationWindowStyle, screen.cx / 2, screen.cy / 2,
                            0, 0, nullptr, nullptr, instance_, this);
  if (window_ == nullptr) throw Exception(std::string(texts::kWindowClassError));
  if (taskbarButtonCreated_ != 0) AllowFromExplorer(window_, taskbarButtonCreated_);
  if (HMENU menu = GetSystemMenu(window_, FALSE)) {
    for (UINT command : kRemovedSystemCommands) DeleteMenu(menu, command, MF_BYCOMMAND);
  }
}

Application::~Application() {
  ShowOwnedPopups(window_, FALSE);
  // Forms first: they are owned by the application window.
  while (!forms_.empty()) forms_.pop_back();
  mainForm_ = nullptr;
  DestroyWindow(window_);
}

void Application::SetTitle(std::string_view title) {
  SetWindowTextBytes(window_, title);
}

std::string Application::Title() const {
  const std::string title = WindowText(window_);
  return std::string(CutToWholeCharacters(title, kTitleLimit));
}

void Application::RunMessageLoop(int showCommand) {
  ShowMainForm(showCommand);
  while (!terminated_) {
    if (ProcessMessage()) continue;
    DoIdle();
    // The loop never polls: it sleeps until the next message arrives.
    if (!terminated_) WaitMessage();
  }
}

void Application::ShowMainForm(int showCommand) {
  if (mainForm_ == nullptr) return;
  if (showCommand == SW_SHOWMINNOACTIVE) {
    // Only the taskbar button: the form appears when the application is restored.
    ShowWindow(window_, SW_SHOWMINNOACTIVE);
    return;
  }
  ShowWindow(window_, SW_SHOWNA);
  ShowMainFormWindow();
  if (showCommand == SW_SHOWMAXIMIZED) ShowWindow(mainForm_->Handle(), SW_SHOWMAXIMIZED);
}

void Application::ShowMainFormWindow() {
  const HWND form = mainForm_->Handle();
  if (!mainFormShown_) {
    mainFormShown_ = true;
    RECT bounds{};
    GetWindowRect(form, &bounds);
    const POINT origin =
        CentredOrigin(PrimaryScreen(), SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top});
    SetWindowPos(form, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
}

bool Application::ProcessMessage() {
  MSG message{};
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  try {
    if (!PreviewMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  } catch (...) {
    ReportUncaughtError(std::current_exception());
  }
  return true;
}

bool Application::PreviewMessage(const MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  Form* form = FormOf(message.hwnd);
  return form != nullptr && form->PreviewKey(message);
}

void Application::DoIdle() {
  POINT cursor{};
  std::string hint;
  if (GetCursorPos(&cursor)) {
    const HWND under = WindowFromPoint(cursor);
    if (Form* form = FormOf(under))
      hint = std::string(LongHintPart(form->HintOf(under).value_or(std::string())));
  }
  hint_ = std::move(hint);
  try {
    for (const auto& form : forms_) {
      if (IsWindowVisible(form->Handle())) form->UpdateActions();
    }
  } catch (...) {
    ReportUncaughtError(std::current_exception());
  }
}

Form* Application::FormOf(HWND window) const {
  if (window == nullptr) return nullptr;
  const HWND root = GetAncestor(window, GA_ROOT);
  for (const auto& form : forms_) {
    if (form->Handle() == root) return form.get();
  }
  return nullptr;
}

void Application::ReportUncaughtError(std::exception_ptr error) noexcept {
  try {
    // A pressed button gives up the mouse before the box appears.
    if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
    try {
      std::rethrow_exception(error);
    } catch (const EAbort&) {
      // Silent by design.
    } catch (const Exception& shown) {
      ShowErrorBox(shown);
    } catch (...) {
      ShowGenericErrorBox(std::current_exception());
    }
  } catch (...) {
    // Nothing may escape into the system's code that called the handler.
  }
}

void Application::ShowErrorBox(const Exception& error) {
  ShowMessageBox(WithClosingPeriod(error.Message()), MB_ICONSTOP);
}

void Application::ShowMessageBox(std::string_view text, UINT icon) {
  const std::wstring wide = Cp932ToWideLossy(text);
  const std::wstring caption = Cp932ToWideLossy(Title());
  ModalScope modal;
  MessageBoxW(window_, wide.c_str(), caption.c_str(), MB_OK | icon);
}

void Application::RequestEnd() {
  // No end-of-run checks are registered, so the run may always end.
  PostQuitMessage(0);
}

void Application::Minimize() {
  if (mainForm_ != nullptr) ShowWindow(mainForm_->Handle(), SW_HIDE);
  ShowWindow(window_, SW_MINIMIZE);
}

void Application::Restore() {
  ShowWindow(window_, SW_RESTORE);
  if (mainForm_ != nullptr) ShowMainFormWindow();
}

LRESULT Application::HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == taskbarButtonCreated_ && message != 0) {
    // The button is the application window's; the main form shows on it.
    if (mainForm_ != nullptr) mainForm_->TaskbarButtonCreated();
    return 0;
  }
  switch (message) {
    case WM_NCCREATE: return OnNcCreate(window, wparam, lparam);
    case WM_SYSCOMMAND: return OnSysCommand(wparam, lparam);
    case WM_CLOSE: return OnClose();
    case WM_QUERYENDSESSION: return OnQueryEndSession();
    case WM_ENDSESSION: return OnEndSession(wparam);
    case WM_ACTIVATE: return OnActivate(wparam, lparam);
    case kActivateMainForm: return OnActivateMainForm();
    default: return DefWindowProcW(window_, message, wparam, lparam);
  }
}

LRESULT Application::OnNcCreate(HWND window, WPARAM wparam, LPARAM lparam) {
  // The handle is known from here on, before CreateWindowExW returns it.
  window_ = window;
  return DefWindowProcW(window_, WM_NCCREATE, wparam, lparam);
}

LRESULT Application::OnSysCommand(WPARAM wparam, LPARAM lparam) {
  switch (wparam & 0xFFF0) {
    case SC_MINIMIZE: Minimize(); return 0;
    case SC_RESTORE: Restore(); return 0;
    default: return DefWindowProcW(window_, WM_SYSCOMMAND, wparam, lparam);
  }
}

LRESULT Application::OnClose() {
  // Close on the taskbar button closes the main form, which ends the run.
  if (mainForm_ != nullptr) mainForm_->Close();
  return 0;
}

LRESULT Application::OnQueryEndSession() {
  return TRUE;
}

LRESULT Application::OnEndSession(WPARAM wparam) {
  if (wparam != FALSE) {
    terminated_ = true;
    // Wakes the loop should it be waiting.
    PostMessageW(window_, WM_NULL, 0, 0);
  }
  return 0;
}

LRESULT Application::OnActivate(WPARAM wparam, LPARAM lparam) {
  // The zero-sized application window never keeps the activation for itself.
  if (LOWORD(wparam) != WA_INACTIVE) PostMessageW(window_, kActivateMainForm, 0, 0);
  return DefWindowProcW(window_, WM_ACTIVATE, wparam, lparam);
}

LRESULT Application::OnActivateMainForm() {
  if (mainForm_ != nullptr && GetActiveWindow() == window_ && !IsIconic(window_)) {
    const HWND form = mainForm_->Handle();
    if (IsWindowVisible(form) && IsWindowEnabled(form)) SetActiveWindow(form);
  }
  return 0;
}

Application::ModalScope::ModalScope() : active_(GetActiveWindow()), focus_(GetFocus()) {
  EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&disabled_));
}

Application::ModalScope::~ModalScope() {
  for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it) {
    if (IsWindow(*it)) EnableWindow(*it, TRUE);
  }
  if (active_ != nullptr && IsWindow(active_) && IsWindowVisible(active_)) SetActiveWindow(active_);
  if (focus_ != nullptr && IsWindow(focus_) && IsWindowVisible(focus_)) SetFocus(focus_);
}

std::string GenericErrorText(std::string_view className, std::string_view moduleName, std::uintptr_t offset,
                             std::string_view message) {
  char address[2 * sizeof(void*) + 1] = {};
  std::snprintf(address, sizeof(address), "%0*llX", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(offset));
  const std::string_view period = !message.empty() && message.back() != '.' ? "." : "";
  const std::string_view values[] = {className, moduleName, message, period};
  std::string text;
  std::size_t next = 0;
  const std::string_view format = texts::kAppErrorFormat;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next < std::size(values)) {
      text += values[next++];
      ++i;
    } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'p') {
      text += address;
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

void ShowGenericErrorBox(std::exception_ptr error) noexcept {
  try {
    std::string className;
    std::string message;
    try {
      std::rethrow_exception(error);
    } catch (const Exception& raised) {
      className = raised.ClassName();
      message = raised.Message();
    } catch (...) {
      className = CurrentExceptionClassName();
    }
    // A C++ exception carries no address of its raising; the place that
    // caught it stands in.
    const auto [module_name, offset] = ModuleOffset(__builtin_return_address(0));
    const std::wstring text = Cp932ToWideLossy(GenericErrorText(className, module_name, offset, message));
    const std::wstring caption = Cp932ToWideLossy(texts::kAppErrorCaption);
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  } catch (...) {
    // The last resort has no resort of its own.
  }
}

int Run(int showCommand, const std::function<void(Application&)>& startUp) {
  std::unique_ptr<Application> application;
  try {
    application = std::make_unique<Application>();
  } catch (...) {
    ShowGenericErrorBox(std::current_exception());
    return 1;
  }
  try {
    startUp(*application);
  } catch (...) {
    ShowGenericErrorBox(std::current_exception());
    return 1;
  }
  application->RunMessageLoop(showCommand);
  return 0;
}

}  // namespace kwt::frame
