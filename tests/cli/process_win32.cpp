// Windows only: CreateProcessW with two pipes, each drained by its own thread.
#include <cstdlib>
#include <string>
#include <thread>

#include "cli/process.h"
#include "runtime/windows_api.h"

namespace kwt::testing {

namespace {
// kwtconv speaks the user's language; the tests read English unless a test
// asks for another (KWTCONV_LANG set already is kept).
// _putenv_s changes the C runtime's copy too, which getenv reads.
[[maybe_unused]] const bool kEnglishMessages =
    std::getenv("KWTCONV_LANG") != nullptr || _putenv_s("KWTCONV_LANG", "en") == 0;
}  // namespace
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), needed);
  return wide;
}

// One argument quoted so that the C runtime's parser gives it back unchanged:
// backslashes double only where a quote follows them.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      line.append(backslashes * 2 + 1, L'\\');
    } else {
      line.append(backslashes, L'\\');
    }
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

void Drain(HANDLE pipe, std::string& sink) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
}

}  // namespace

std::wstring WindowsPath(const std::string& path) {
  std::wstring wide = Wide(path);
  if (!wide.empty() && wide[0] == L'/') {
    for (wchar_t& c : wide) {
      if (c == L'/') c = L'\\';
    }
    wide.insert(0, L"Z:");
  }
  return wide;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         bool readOutput) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr;
  HANDLE outWrite = nullptr;
  HANDLE errRead = nullptr;
  HANDLE errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
  if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    CloseHandle(outRead);
    CloseHandle(outWrite);
    return result;
  }
  // Only the child's ends are inherited.
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE nullIn = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);

  const std::wstring application = WindowsPath(program);
  std::wstring line;
  AppendQuoted(line, application);
  for (const std::string& argument : arguments) {
    line += L' ';
    AppendQuoted(line, Wide(argument));
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullIn;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (!readOutput) {
    CloseHandle(outRead);
    outRead = nullptr;
  }
  if (nullIn != INVALID_HANDLE_VALUE) CloseHandle(nullIn);
  if (started) {
    std::thread errReader(Drain, errRead, std::ref(result.err));
    if (outRead) Drain(outRead, result.out);
    errReader.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (outRead) CloseHandle(outRead);
  CloseHandle(errRead);
  return result;
}

}  // namespace kwt::testing
