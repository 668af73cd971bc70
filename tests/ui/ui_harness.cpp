#include "ui_harness.h"

#include <commdlg.h>
#include <dlgs.h>

#include <fstream>
#include <iterator>

#include "frame/display_text.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/texts.h"
#include "ui/device_context.h"

namespace kwt::ui::testing {
namespace {

constexpr wchar_t kHelperClass[] = L"KwtTestModalHelper";
constexpr UINT kInspect = WM_APP + 7;
// Message boxes give their text static this identifier.
constexpr int kMessageTextId = 0xFFFF;
constexpr std::size_t kContentRecord103Size = 516;

ModalAnswerer* current_answerer = nullptr;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

HWND NameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, cmb13)) return combo;
  return GetDlgItem(dialog, edt1);
}

BOOL CALLBACK InspectChild(HWND child, LPARAM context) {
  auto& record = *reinterpret_cast<ModalRecord*>(context);
  const std::wstring kind = ClassOf(child);
  const LONG style = static_cast<LONG>(GetWindowLongPtrW(child, GWL_STYLE));
  if (_wcsicmp(kind.c_str(), L"Static") == 0) {
    if ((style & SS_TYPEMASK) == SS_ICON) {
      record.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    } else if (GetDlgCtrlID(child) == kMessageTextId) {
      record.text = frame::WindowText(child);
    }
  } else if (_wcsicmp(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
    const LONG type = style & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) record.buttons.push_back(GetDlgCtrlID(child));
  } else if (_wcsicmp(kind.c_str(), L"Edit") == 0) {
    record.list = frame::WindowText(child);
  }
  return TRUE;
}

ModalRecord Inspect(HWND dialog) {
  ModalRecord record;
  record.window = dialog;
  record.caption = frame::WindowText(dialog);
  record.owner = GetWindow(dialog, GW_OWNER);
  record.style = static_cast<LONG>(GetWindowLongPtrW(dialog, GWL_STYLE));
  record.extendedStyle = static_cast<LONG>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
  GetWindowRect(dialog, &record.bounds);
  if (HWND nameBox = NameBox(dialog)) {
    record.fileDialog = true;
    record.nameBox = frame::WindowText(nameBox);
    wchar_t folder[MAX_PATH] = {};
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
    record.folder = WideToCp932Lossy(folder);
  } else {
    EnumChildWindows(dialog, InspectChild, reinterpret_cast<LPARAM>(&record));
  }
  return record;
}

void PressButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool IsExtended(WORD key) {
  return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN || key == VK_INSERT ||
         key == VK_DELETE || key == VK_HOME || key == VK_END || key == VK_PRIOR || key == VK_NEXT;
}

INPUT KeyInput(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtended(key) ? KEYEVENTF_EXTENDEDKEY : 0);
  return input;
}

BOOL CALLBACK FindProgramWindows(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<std::pair<HWND, HWND>*>(context);
  const std::wstring kind = ClassOf(window);
  if (kind == ui::TfrmMain::kWindowClassName) found->first = window;
  if (kind == frame::Application::kWindowClassName) found->second = window;
  return TRUE;
}

}  // namespace

// --- Modal boxes ----------------------------------------------------------

ModalAnswerer::ModalAnswerer(Answer answer) : answer_(std::move(answer)) {
  WNDCLASSEXW helperClass{};
  helperClass.cbSize = sizeof(helperClass);
  helperClass.lpfnWndProc = HelperProc;
  helperClass.hInstance = GetModuleHandleW(nullptr);
  helperClass.lpszClassName = kHelperClass;
  RegisterClassExW(&helperClass);
  helper_ = CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  current_answerer = this;
  hook_ = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
  EXPECT_NE(hook_, nullptr);
  EXPECT_NE(helper_, nullptr);
}

ModalAnswerer::~ModalAnswerer() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  current_answerer = nullptr;
  DestroyWindow(helper_);
  UnregisterClassW(kHelperClass, GetModuleHandleW(nullptr));
}

LRESULT CALLBACK ModalAnswerer::CbtProc(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE && current_answerer != nullptr) {
    const HWND window = reinterpret_cast<HWND>(wparam);
    if (ClassOf(window) == L"#32770" && current_answerer->seen_.insert(window).second) {
      // Inspected once the box's own modal loop runs, when it is complete.
      PostMessageW(current_answerer->helper_, kInspect, wparam, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK ModalAnswerer::HelperProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kInspect && current_answerer != nullptr) {
    const HWND dialog = reinterpret_cast<HWND>(wparam);
    if (IsWindow(dialog)) {
      current_answerer->records_.push_back(Inspect(dialog));
      const ModalRecord record = current_answerer->records_.back();
      current_answerer->answer_(record);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void PressOk(const ModalRecord& record) {
  PressButton(record.window, IDOK);
}

void Press(const ModalRecord& record, int id) {
  PressButton(record.window, id);
}

void PressCancel(const ModalRecord& record) {
  PressButton(record.window, IDCANCEL);
}

void AcceptName(const ModalRecord& record, std::string_view name) {
  AcceptName(record, std::wstring_view(Cp932ToWideLossy(name)));
}

void AcceptName(const ModalRecord& record, std::wstring_view name) {
  SetWindowTextW(NameBox(record.window), std::wstring(name).c_str());
  PressButton(record.window, IDOK);
}

// --- Files ----------------------------------------------------------------

std::string WriteProject(const TempFolder& folder, int records, int count) {
  folder.Write("data.KWT", std::string(kContentRecord103Size * static_cast<std::size_t>(records), '\0'));
  folder.Write("project.kwj", "[KWJ]\r\nVersion=103\r\nCount=" + std::to_string(count) +
                                  "\r\nKWT=" + folder.PathOf("data.KWT") + "\r\n");
  return folder.PathOf("project.kwj");
}

// --- The window -----------------------------------------------------------

void WindowTest::SetUp() {
  application_ = std::make_unique<frame::Application>();
  application_->SetTitle(texts::kAppTitle);
  form_ = &application_->CreateAppForm<TfrmMain>();
  application_->ShowMainForm(SW_SHOWNORMAL);
  Pump();
}

void WindowTest::TearDown() {
  form_ = nullptr;
  application_.reset();
  // A quit request the test left behind must not end the next test's loop.
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

void WindowTest::Pump() {
  while (application_->ProcessMessage()) {
  }
  application_->DoIdle();
}

void WindowTest::Type(std::initializer_list<Chord> chords) {
  std::vector<INPUT> inputs;
  for (const Chord& chord : chords) {
    for (WORD modifier : chord.modifiers) inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(chord.key, false));
    inputs.push_back(KeyInput(chord.key, true));
    for (auto it = chord.modifiers.rbegin(); it != chord.modifiers.rend(); ++it)
      inputs.push_back(KeyInput(*it, true));
  }
  SetForegroundWindow(Form().Handle());
  ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  Pump();
}

SIZE WindowTest::ClientSize() const {
  RECT client{};
  GetClientRect(form_->Handle(), &client);
  return SIZE{client.right, client.bottom};
}

RECT WindowTest::PlaceOf(HWND control) const {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

void AnswerSentMessagesUntil(const std::atomic<bool>& finished) {
  kwt::testing::WaitUntil(
      [&] {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        return finished.load();
      },
      std::chrono::minutes(10));
}

std::vector<COLORREF> Capture(HWND window, SIZE& size) {
  RECT client{};
  GetClientRect(window, &client);
  size = SIZE{client.right, client.bottom};
  const ClientDC source = ClientDCOf(window);
  return CaptureFrom(source.get(), POINT{0, 0}, size);
}

std::vector<COLORREF> CaptureFrom(HDC source, POINT origin, SIZE size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const MemoryDC memory = CompatibleMemoryDC(source);
  const HBITMAP bitmap = CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<COLORREF> pixels;
  if (bitmap == nullptr) return pixels;
  {
    const Selected selected(memory.get(), bitmap);
    BitBlt(memory.get(), 0, 0, size.cx, size.cy, source, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* raw = static_cast<const std::uint32_t*>(bits);
    for (LONG i = 0; i < size.cx * size.cy; ++i) {
      const std::uint32_t value = raw[i];
      pixels.push_back(RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF));
    }
  }
  DeleteObject(bitmap);
  return pixels;
}

// --- The program ----------------------------------------------------------

Program::Program(int showCommand, const std::wstring& arguments) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path program =
      std::filesystem::path(self).parent_path().parent_path() / L"app" / L"kwtconvw.exe";
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW start{};
  start.cb = sizeof(start);
  start.dwFlags = STARTF_USESHOWWINDOW;
  start.wShowWindow = static_cast<WORD>(showCommand);
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &start, &process_)) {
    ADD_FAILURE() << "cannot start " << program.string() << ": error " << GetLastError();
    return;
  }
  WaitForInputIdle(process_.hProcess, 15000);
  // The windows exist once the program waits for input; the poll only covers
  // a system that reports idleness early.
  std::pair<HWND, HWND> found{nullptr, nullptr};
  kwt::testing::WaitUntil(
      [&] {
        EnumThreadWindows(process_.dwThreadId, FindProgramWindows, reinterpret_cast<LPARAM>(&found));
        return found.first != nullptr && found.second != nullptr;
      },
      std::chrono::seconds(5), std::chrono::milliseconds(20));
  mainWindow_ = found.first;
  applicationWindow_ = found.second;
  EXPECT_NE(mainWindow_, nullptr);
  EXPECT_NE(applicationWindow_, nullptr);
}

Program::~Program() {
  if (process_.hProcess == nullptr) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

DWORD Program::WaitForExit(DWORD milliseconds) {
  if (process_.hProcess == nullptr) return STILL_ACTIVE;
  WaitForSingleObject(process_.hProcess, milliseconds);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

}  // namespace kwt::ui::testing
