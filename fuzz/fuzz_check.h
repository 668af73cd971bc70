// Property checks inside fuzz targets. A failed check aborts, which libFuzzer
// records as a crash with the input that caused it, and which fails the
// replay of the saved inputs in the normal test run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define KWT_FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::kwt::fuzz::Fail(#condition, __FILE__, __LINE__))

namespace kwt::fuzz {

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
  std::abort();
}

// The fuzzer's bytes as the byte string the code under test takes.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return size == 0 ? std::string_view() : std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace kwt::fuzz

// The entry point that libFuzzer, or the replay driver, calls once per input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
