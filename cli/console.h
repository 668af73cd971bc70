// Where kwtconv's text goes. Everything is written as code page 932 bytes and
// converted on the way out: to UTF-8 for files, pipes and POSIX terminals, to
// UTF-16 through the console's wide API for a Windows console.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kwt::cli {

enum class Stream { Out, Err };

class Console {
 public:
  virtual ~Console() = default;
  // Queues text (code page 932); it reaches the stream at the latest at Flush.
  virtual void Write(Stream stream, std::string_view text) = 0;
  virtual void Flush(Stream stream) = 0;
  // True when the stream is an interactive terminal (a console on Windows).
  virtual bool IsTerminal(Stream stream) = 0;
  // The terminal's width in columns; 0 when it is not a terminal or unknown.
  virtual int Columns(Stream stream) = 0;
};

// The process's standard output and standard error. Destroying it flushes both.
std::unique_ptr<Console> OpenSystemConsole();

}  // namespace kwt::cli
