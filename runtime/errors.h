// The exceptions that the core raises and the faces show. The hierarchy mirrors
// the one the users' error boxes were designed around: every error carries its
// message as code page 932 bytes.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace kwt {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  // The message in code page 932 bytes.
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  // The class name the error box shows for uncaught errors.
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// A record-file operation failed; IoCode holds the code that IoStatus held.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, std::int32_t code) : Exception(std::move(message)), code_(code) {}
  std::int32_t IoCode() const noexcept { return code_; }
  const char* ClassName() const noexcept override { return "EInOutError"; }

 private:
  std::int32_t code_;
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EStreamError"; }
};

class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  const char* ClassName() const noexcept override { return "EFOpenError"; }
};

class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  const char* ClassName() const noexcept override { return "EFCreateError"; }
};

class EFilerError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  const char* ClassName() const noexcept override { return "EFilerError"; }
};

class EWriteError : public EFilerError {
 public:
  using EFilerError::EFilerError;
  const char* ClassName() const noexcept override { return "EWriteError"; }
};

// A silent abort: faces end the current action without showing anything.
class EAbort : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EAbort"; }
};

// A conversion stopped at the user's request (Ctrl+C, a console closed): our
// unfinished work was removed and the project is as the last completed pass
// left it. Silent in the window, like every abort.
class EInterrupted : public EAbort {
 public:
  using EAbort::EAbort;
  const char* ClassName() const noexcept override { return "EInterrupted"; }
};

// A backup refused (a file of the backup's name that is no copy of the
// project) or failed; kwtconv and the window say it in their own words.
class EBackupRefused : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EBackupRefused"; }
};

// A project whose contents cannot be converted safely (the conversion refuses
// and changes nothing); shown like any other error.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EConvertError"; }
};

}  // namespace kwt
