// Windows only: starts a kwtconvw.exe as a user would and converts one project
// through its open dialog, from outside the program: clicks the open button,
// types the project's name into the dialog and accepts it, waits for the
// project file to be stamped, then closes the window. Exits 0 when all of that
// happened and the program ended with 0; prints what went wrong otherwise.
// Usage: dialog_driver PATH_TO_KWTCONVW PROJECT.kwj
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kit/wait_until.h"
#include "runtime/windows_api.h"

namespace {

using namespace std::chrono_literals;

struct Search {
  DWORD process = 0;
  const wchar_t* className = nullptr;  // null: any
  const wchar_t* caption = nullptr;    // null: any
  HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search.process || !IsWindowVisible(window)) return TRUE;
  wchar_t text[256] = {};
  if (search.className != nullptr) {
    GetClassNameW(window, text, 256);
    if (std::wstring(text) != search.className) return TRUE;
  }
  if (search.caption != nullptr) {
    GetWindowTextW(window, text, 256);
    if (std::wstring(text) != search.caption) return TRUE;
  }
  search.found = window;
  return FALSE;
}

// The open button is the push button that a screen reader calls 開く (it
// shows only a picture).
BOOL CALLBACK MatchOpenButton(HWND window, LPARAM data) {
  wchar_t text[64] = {};
  GetClassNameW(window, text, 64);
  if (std::wstring(text) != L"Button") return TRUE;
  GetWindowTextW(window, text, 64);
  if (std::wstring(text) != L"\u958B\u304F") return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

template <typename Find>
HWND WaitFor(Find find, std::chrono::milliseconds limit) {
  HWND window = nullptr;
  kwt::testing::WaitUntil([&] { return (window = find()) != nullptr; }, limit, 50ms);
  return window;
}

HWND TopLevel(DWORD process, const wchar_t* className, const wchar_t* caption) {
  Search search{process, className, caption};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

int Fail(const char* what, HANDLE process) {
  std::fprintf(stderr, "dialog_driver: %s\n", what);
  if (process != nullptr) TerminateProcess(process, 99);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dialog_driver PATH_TO_KWTCONVW PROJECT.kwj\n");
    return 2;
  }
  const std::wstring program = argv[1];
  const std::wstring project = argv[2];

  std::wstring line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    return Fail("kwtconvw.exe could not be started", nullptr);
  }
  CloseHandle(started.hThread);
  const HANDLE process = started.hProcess;
  const DWORD id = started.dwProcessId;

  const HWND main = WaitFor([&] { return TopLevel(id, nullptr, L"KWT Convert -> v1.4.0"); }, 20s);
  if (main == nullptr) return Fail("the window did not show", process);
  HWND open = nullptr;
  EnumChildWindows(main, MatchOpenButton, reinterpret_cast<LPARAM>(&open));
  if (open == nullptr) return Fail("the open button was not found", process);
  // Posted: the dialog is modal, and a sent click would wait for it to close.
  PostMessageW(open, BM_CLICK, 0, 0);

  const HWND dialog = WaitFor([&] { return TopLevel(id, L"#32770", nullptr); }, 20s);
  if (dialog == nullptr) return Fail("the open dialog did not show", process);
  // The file name box of the dialog (cmb13, or edt1 in the old style).
  HWND name = GetDlgItem(dialog, 0x47C);
  if (name == nullptr) name = GetDlgItem(dialog, 0x480);
  if (name == nullptr) return Fail("the dialog's file name box was not found", process);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(project.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));

  const auto stamped = [&] { return ReadFile(project).find("Version=140\r\n") != std::string::npos; };
  if (!kwt::testing::WaitUntil(stamped, 30s, 100ms)) return Fail("the project was not converted", process);

  PostMessageW(main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) return Fail("kwtconvw.exe did not end", process);
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (code != 0) return Fail("kwtconvw.exe ended with a code other than 0", nullptr);
  std::printf("dialog_driver: converted through the open dialog, closed with exit code 0\n");
  return 0;
}
