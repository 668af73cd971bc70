// The project store on a large project file: loading, lookups and saving must
// all grow linearly with the file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "kit/temp_folder.h"
#include "runtime/ini_file.h"

namespace {

constexpr int kKeysPerSection = 10;
constexpr int kLookups = 1000;

// Built by appending: GCC 12 misreads "literal" + std::string as an overlapping copy.
std::string Numbered(std::string text, std::int64_t index) {
  return text.append(std::to_string(index));
}
std::string SectionName(std::int64_t index) {
  return Numbered("Section", index);
}
std::string KeyName(std::int64_t index) {
  return Numbered("Key", index);
}

// A project file of sections x 10 keys in the layout users' files have.
std::string ProjectText(std::int64_t sections) {
  std::string text = "; generated\r\n";
  for (std::int64_t s = 0; s < sections; ++s) {
    text.append("[").append(SectionName(s)).append("]\r\n");
    for (int k = 0; k < kKeysPerSection; ++k) {
      text.append(KeyName(k)).append(" = ").append(std::to_string(s * kKeysPerSection + k)).append("\r\n");
    }
    text += "\r\n";
  }
  return text;
}

class ProjectFile {
 public:
  explicit ProjectFile(std::int64_t sections)
      : path_((folder_.path() / "project.kwj").string()), text_(ProjectText(sections)) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << text_;
  }
  const std::string& path() const { return path_; }
  std::size_t size() const { return text_.size(); }

 private:
  kwt::testing::TempFolder folder_{"kwt-store-bench-"};
  std::string path_;
  std::string text_;
};

// Load, 1,000 lookups spread over the whole file, one write, save.
// With glibc, the largest size can run slower per byte than the rest: freeing
// the saved text lets the allocator hand the whole heap back to the system at
// the end of each round, and the next load faults it in again. Running with
// GLIBC_TUNABLES=glibc.malloc.trim_threshold=4000000000 shows the store's own
// cost, which grows linearly.
void BM_LoadLookUpSave(benchmark::State& state) {
  const std::int64_t sections = state.range(0);
  const ProjectFile file(sections);
  std::int64_t checksum = 0;
  for (auto _ : state) {
    kwt::TMemIniFile store(file.path());
    for (int i = 0; i < kLookups; ++i) {
      const std::int64_t section = (static_cast<std::int64_t>(i) * 7919) % sections;
      checksum += store.ReadNumber(SectionName(section), KeyName(i % kKeysPerSection), 0);
    }
    store.WriteNumber("Section0", "Key0", static_cast<std::int32_t>(checksum & 0xFFFF));
    store.Save();
  }
  benchmark::DoNotOptimize(checksum);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
  state.SetComplexityN(sections);
}
BENCHMARK(BM_LoadLookUpSave)
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The parts on their own, at the size the store is specified for.
void BM_Load(benchmark::State& state) {
  const ProjectFile file(state.range(0));
  for (auto _ : state) {
    kwt::TMemIniFile store(file.path());
    benchmark::DoNotOptimize(store.Sections().Count());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_Load)->Arg(5000)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_Lookups(benchmark::State& state) {
  const std::int64_t sections = state.range(0);
  const ProjectFile file(sections);
  kwt::TMemIniFile store(file.path());
  std::int64_t checksum = 0;
  for (auto _ : state) {
    // A write first, as the conversion does, so the section index is rebuilt each round.
    store.WriteNumber("Extra", "Round", static_cast<std::int32_t>(checksum & 0xFFFF));
    for (int i = 0; i < kLookups; ++i) {
      const std::int64_t section = (static_cast<std::int64_t>(i) * 7919) % sections;
      checksum += store.ReadNumber(SectionName(section), KeyName(i % kKeysPerSection), 0);
    }
  }
  benchmark::DoNotOptimize(checksum);
}
BENCHMARK(BM_Lookups)->Arg(5000)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
  const ProjectFile file(state.range(0));
  kwt::TMemIniFile store(file.path());
  for (auto _ : state) store.Save();
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_Save)->Arg(5000)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace
