// Feeds saved inputs to a fuzz target without libFuzzer, so the normal test
// run (built with g++) replays the seed corpus and every input that once
// broke a property. Arguments are folders (each file in them, in name order;
// hidden files such as .gitkeep are skipped) or single files.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;

bool IsHidden(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name.front() == '.';
}

std::vector<fs::path> InputsOf(const fs::path& argument) {
  std::vector<fs::path> inputs;
  if (fs::is_directory(argument)) {
    for (const auto& entry : fs::directory_iterator(argument)) {
      if (entry.is_regular_file() && !IsHidden(entry.path())) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
  } else {
    inputs.push_back(argument);
  }
  return inputs;
}

}  // namespace

// What libFuzzer calls once before the inputs, where a target defines it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER|FILE...\n", argv[0]);
    return 2;
  }
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    if (!fs::exists(argv[i])) {
      std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      return 2;
    }
    for (const fs::path& input : InputsOf(argv[i])) {
      std::ifstream in(input, std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!in.eof() && in.fail()) {
        std::fprintf(stderr, "%s: cannot read\n", input.string().c_str());
        return 2;
      }
      // Printed first, so a failing input is named right above its report.
      std::fprintf(stderr, "replay %s\n", input.string().c_str());
      // A copy of exact size, so reading past the input shows under AddressSanitizer.
      std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
      LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return 0;
}
