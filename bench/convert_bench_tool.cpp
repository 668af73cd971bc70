// The whole-process side of the conversion benchmark, driven by scripts/bench:
//   convert_bench_tool generate FOLDER COUNT   writes FOLDER/P.kwj and FOLDER/D.KWT
//   convert_bench_tool convert PROJECT         converts it through the driver
//   convert_bench_tool floor FOLDER COUNT      does only the same file work
//   convert_bench_tool buffered FOLDER COUNT   converts it in plain 1 MiB blocks
//   convert_bench_tool large FOLDER KEYS LINE COUNT
//                                              writes FOLDER/P.kwj with KEYS
//                                              keys of about 100 bytes (and,
//                                              unless LINE is 0, one line of
//                                              LINE bytes) and a small D.KWT
//   convert_bench_tool load-save PROJECT [SAVES]
//                                              loads, stamps and saves it once
//                                              (or SAVES times) through the
//                                              project store
// Each run is one process, so the script can time it and read its peak memory.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "bench/convert_bench_support.h"
#include "runtime/errors.h"
#include "runtime/ini_file.h"
#include "runtime/platform.h"

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
      "       | large FOLDER KEYS LINE COUNT | load-save PROJECT [SAVES] | buffered FOLDER COUNT\n",
      stderr);
  return 2;
}

// One load, the driver's reads, and a stamp and a save per pass: with two
// saves, the least that converting a layout-102 project does with its
// project file.
void LoadAndSave(const std::string& project, std::uint32_t saves) {
  kwt::TMemIniFile store(project);
  store.SetCaseSensitivity(false);
  if (store.ReadNumber("KWJ", "Version", 0) >= 140) throw std::runtime_error("project is converted already");
  for (std::uint32_t i = 0; i < saves; ++i) {
    store.WriteNumber("KWJ", "Version", static_cast<std::int32_t>(140 + i));
    store.Save();
  }
}

}  // namespace

int main(int argc, char** argv) {
  kwt::platform::IgnoreLeaseSignal();
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 4) {
      kwt::bench::GenerateProject(argv[2], CountArgument(argv[3]));
    } else if (command == "convert" && argc == 3) {
      kwt::bench::QuietFace face;
      kwt::Converter(face).Convert(argv[2]);
      if (face.textBytes == 0) throw std::runtime_error("nothing was converted");
    } else if (command == "floor" && argc == 4) {
      kwt::bench::FloorConvert(argv[2], CountArgument(argv[3]));
    } else if (command == "large" && argc == 6) {
      kwt::bench::GenerateLargeProject(argv[2], CountArgument(argv[3]), CountArgument(argv[4]),
                                       CountArgument(argv[5]));
    } else if (command == "load-save" && (argc == 3 || argc == 4)) {
      LoadAndSave(argv[2], argc == 4 ? CountArgument(argv[3]) : 1);
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
