// The whole-process side of the conversion benchmark, driven by scripts/bench:
//   convert_bench_tool generate FOLDER COUNT   writes FOLDER/P.kwj and FOLDER/D.KWT
//   convert_bench_tool convert PROJECT         converts it through the driver
//   convert_bench_tool floor FOLDER COUNT      does only the same file work
//   convert_bench_tool buffered FOLDER COUNT   converts it in plain 1 MiB blocks
// Each run is one process, so the script can time it and read its peak memory.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "bench/convert_bench_support.h"
#include "runtime/errors.h"

namespace {

std::uint32_t CountArgument(const char* text) {
  std::uint32_t value = 0;
  const char* const end = text + std::strlen(text);
  const auto [last, error] = std::from_chars(text, end, value);
  if (error != std::errc() || last != end) throw std::runtime_error(std::string("not a count: ") + text);
  return value;
}

int Usage() {
  std::fputs(
      "usage: convert_bench_tool generate FOLDER COUNT | convert PROJECT | floor FOLDER COUNT\n"
      "       | buffered FOLDER COUNT\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 4) {
      kwt::bench::GenerateProject(argv[2], CountArgument(argv[3]));
    } else if (command == "convert" && argc == 3) {
      kwt::bench::QuietFace face;
      kwt::Converter(face).Convert(argv[2]);
      if (face.statusBytes == 0) throw std::runtime_error("nothing was converted");
    } else if (command == "floor" && argc == 4) {
      kwt::bench::FloorConvert(argv[2], CountArgument(argv[3]));
    } else if (command == "buffered" && argc == 4) {
      kwt::bench::BufferedConvert(argv[2], CountArgument(argv[3]));
    } else {
      return Usage();
    }
  } catch (const kwt::Exception& error) {
    std::fprintf(stderr, "convert_bench_tool: %s (%s)\n", error.Message().c_str(), error.ClassName());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "convert_bench_tool: %s\n", error.what());
    return 1;
  }
  return 0;
}
