// The window program's own start (app/winmain.cpp) with the paths given on the
// command line dropped on its window as the loop starts, for the picture of
// the closing box (scripts/screenshot). A drop cannot be posted from another
// process: the list of names it carries stays in the process that made it.
// Usage: drop_picture PATH...
#include <shlobj.h>

#include <string>

#include "frame/application.h"
#include "runtime/texts.h"
#include "runtime/windows_api.h"
#include "ui/main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  DisableProcessWindowsGhosting();
  return kwt::frame::Run(show_command, [](kwt::frame::Application& application) {
    application.SetTitle(kwt::texts::kAppTitle);
    const HWND window = application.CreateAppForm<kwt::ui::TfrmMain>().Handle();
    std::wstring names;
    for (int i = 1; i < __argc; ++i) names += std::wstring(__wargv[i]) + L'\0';
    names += L'\0';
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    if (memory == nullptr) return;
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    names.copy(reinterpret_cast<wchar_t*>(drop + 1), names.size());
    GlobalUnlock(memory);
    PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  });
}
