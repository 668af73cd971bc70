// The benchmarks' main: first what every program that converts does at its
// start, then the benchmarks the arguments choose.
#include <benchmark/benchmark.h>

#include "runtime/platform.h"

int main(int argc, char** argv) {
  kwt::platform::IgnoreLeaseSignal();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
