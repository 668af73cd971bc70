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
  // True once text could not be written to the stream (a full disk, a closed
  // pipe): a program whose results are lost has failed.
  virtual bool WriteFailed(Stream) const { return false; }
};

// A console that queues each stream's text until Flush hands it to Emit, the
// platform's way of writing it out.
class BufferedConsole : public Console {
 public:
  void Write(Stream stream, std::string_view text) final { Buffer(stream) += text; }
  void Flush(Stream stream) final {
    std::string& buffer = Buffer(stream);
    if (buffer.empty()) return;
    if (!Emit(stream, buffer)) (stream == Stream::Out ? outFailed_ : errFailed_) = true;
    buffer.clear();
  }
  bool WriteFailed(Stream stream) const final { return stream == Stream::Out ? outFailed_ : errFailed_; }

 protected:
  // Writes text (code page 932) to the stream; false when not all of it got
  // there. Nothing is retried: a closed or full output stays so.
  virtual bool Emit(Stream stream, std::string_view text) = 0;
  // For the platform's destructor: a base destructor can no longer reach Emit.
  void FlushBoth() {
    Flush(Stream::Out);
    Flush(Stream::Err);
  }

 private:
  std::string& Buffer(Stream stream) { return stream == Stream::Out ? out_ : err_; }

  std::string out_;
  std::string err_;
  bool outFailed_ = false;
  bool errFailed_ = false;
};

// The process's standard output and standard error. Destroying it flushes both.
std::unique_ptr<Console> OpenSystemConsole();

}  // namespace kwt::cli
