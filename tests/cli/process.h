// Test-only: starts a program as a user would and collects what it prints.
#pragma once

#include <string>
#include <vector>

namespace kwt::testing {

struct ProcessResult {
  // The exit status; -1 when the program could not be started or was killed.
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs program with arguments (UTF-8) in the current directory, with an empty
// standard input, and waits for it to end. Both outputs are read as they come,
// so a program that writes much to either never blocks. Without readOutput
// the standard output is a pipe whose reader has gone before the program
// starts writing.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         bool readOutput = true);

#ifdef _WIN32
// The Windows form of a path (UTF-8) that the build hands over: under Wine a
// POSIX path, which Wine's drive Z: holds.
std::wstring WindowsPath(const std::string& path);
#endif

}  // namespace kwt::testing
