// Converting a whole layout-102 project (both passes, through the driver),
// record by record beside the floor that one read and one write per record
// sets, and in blocks (as kwtconv does) beside the buffered reference.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/convert_bench_support.h"

namespace kwt::bench {
namespace {

void BM_ConvertProject(benchmark::State& state) {
  const testing::TempFolder folder("kwt-convert-bench-driver-");
  const auto count = static_cast<std::uint32_t>(state.range(0));
  QuietFace face;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string project = GenerateProject(folder.path().string(), count);
    state.ResumeTiming();
    Converter(face).Convert(project);
  }
  benchmark::DoNotOptimize(face.textBytes);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ConvertProject)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConvertProjectInBlocks(benchmark::State& state) {
  const testing::TempFolder folder("kwt-convert-bench-blocks-");
  const auto count = static_cast<std::uint32_t>(state.range(0));
  QuietFace face;
  ConversionOptions options;
  options.recordIo = RecordIo::Blocks;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string project = GenerateProject(folder.path().string(), count);
    state.ResumeTiming();
    Converter(face, options).Convert(project);
  }
  benchmark::DoNotOptimize(face.textBytes);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ConvertProjectInBlocks)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BufferedReference(benchmark::State& state) {
  const testing::TempFolder folder("kwt-convert-bench-buffered-");
  const auto count = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    GenerateProject(folder.path().string(), count);
    state.ResumeTiming();
    BufferedConvert(folder.path().string(), count);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_BufferedReference)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FloorOfTheSameReadsAndWrites(benchmark::State& state) {
  const testing::TempFolder folder("kwt-convert-bench-floor-");
  const auto count = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    GenerateProject(folder.path().string(), count);
    state.ResumeTiming();
    FloorConvert(folder.path().string(), count);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_FloorOfTheSameReadsAndWrites)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kwt::bench
