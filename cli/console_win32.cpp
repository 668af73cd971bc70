// Windows only: a console gets UTF-16 through WriteConsoleW, whatever its code
// page; files and pipes get UTF-8 bytes.
#include <algorithm>

#include "cli/console.h"
#include "runtime/cp932_text.h"
#include "runtime/windows_api.h"

namespace kwt::cli {
namespace {

class Win32Console : public BufferedConsole {
 public:
  ~Win32Console() override { FlushBoth(); }

  bool IsTerminal(Stream stream) override {
    DWORD mode = 0;
    return GetConsoleMode(Handle(stream), &mode) != 0;
  }

  int Columns(Stream stream) override {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(Handle(stream), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
  }

 private:
  static HANDLE Handle(Stream stream) {
    return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  }

  bool Emit(Stream stream, std::string_view text) override {
    const HANDLE handle = Handle(stream);
    if (IsTerminal(stream)) {
      const std::wstring wide = Cp932ToWideLossy(text);
      for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        // Consoles take limited chunks per call.
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        if (!WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) || written == 0)
          return false;
        done += written;
      }
      return true;
    }
    const std::string utf8 = Cp932ToUtf8Lossy(text);
    for (std::size_t done = 0; done < utf8.size();) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(utf8.size() - done, 1 << 20));
      if (!WriteFile(handle, utf8.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<Console> OpenSystemConsole() {
  return std::make_unique<Win32Console>();
}

}  // namespace kwt::cli
