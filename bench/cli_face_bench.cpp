// What kwtconv's face costs per record: the progress line (a clock reading
// per record, a drawing at most ten times a second) and the trace (a line per
// record, converted to UTF-8), both into a console that discards the bytes.
#include <benchmark/benchmark.h>

#include <string>

#include "cli/console.h"
#include "cli/face.h"
#include "runtime/cp932_text.h"
#include "runtime/texts.h"

namespace {

using kwt::cli::Stream;

// Converts what it is given as the real console does, then drops it.
class DiscardingConsole : public kwt::cli::Console {
 public:
  void Write(Stream, std::string_view text) override { pending_ += text; }
  void Flush(Stream) override {
    benchmark::DoNotOptimize(kwt::Cp932ToUtf8Lossy(pending_));
    pending_.clear();
  }
  bool IsTerminal(Stream) override { return true; }
  int Columns(Stream) override { return 100; }

 private:
  std::string pending_;
};

std::string ProgressText(std::int64_t record) {
  return std::string(kwt::texts::kStatusProgressPrefix) + std::to_string(record) +
         std::string(kwt::texts::kStatusProgressSuffix);
}

void BM_FaceStatus(benchmark::State& state, kwt::cli::Display display) {
  DiscardingConsole console;
  kwt::cli::CommandLineFace face(console, display, 60, 100);
  face.SetTarget("C:\\...\\contents.KWT");
  const std::string text = ProgressText(123456);
  for (auto _ : state) face.SetStatus(text);
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_FaceStatus, progress_line, kwt::cli::Display::ProgressLine);
BENCHMARK_CAPTURE(BM_FaceStatus, trace, kwt::cli::Display::Trace);
BENCHMARK_CAPTURE(BM_FaceStatus, silent, kwt::cli::Display::Silent);

}  // namespace
