// POSIX only: standard output and error as file descriptors 1 and 2, always UTF-8.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "cli/console.h"
#include "runtime/cp932_text.h"

namespace kwt::cli {
namespace {

class PosixConsole : public BufferedConsole {
 public:
  ~PosixConsole() override { FlushBoth(); }

  bool IsTerminal(Stream stream) override { return ::isatty(Descriptor(stream)) == 1; }

  int Columns(Stream stream) override {
    if (!IsTerminal(stream)) return 0;
    winsize size{};
    if (::ioctl(Descriptor(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
  }

 private:
  static int Descriptor(Stream stream) { return stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO; }

  bool Emit(Stream stream, std::string_view text) override {
    const std::string utf8 = Cp932ToUtf8Lossy(text);
    const int fd = Descriptor(stream);
    for (std::size_t done = 0; done < utf8.size();) {
      const ssize_t written = ::write(fd, utf8.data() + done, utf8.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      done += static_cast<std::size_t>(written);
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<Console> OpenSystemConsole() {
  return std::make_unique<PosixConsole>();
}

}  // namespace kwt::cli
