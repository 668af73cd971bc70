// The cost of the record mappings alone (per record), and of converting a
// contents file of 100,000 records one record at a time through record files,
// beside copying the same records unchanged.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "convert/content_records.h"
#include "kit/temp_folder.h"
#include "runtime/record_file.h"

namespace kwt {
namespace {

constexpr int kRecordCount = 100000;

template <typename Record>
Record SampleRecord(std::size_t firstText) {
  Record record;
  for (std::size_t i = 0; i < record.bytes.size(); ++i) record.bytes[i] = static_cast<std::uint8_t>(i);
  // Realistic lengths: every string partly filled.
  for (std::size_t at = firstText; at + 1 < record.bytes.size(); at += 60) record.bytes[at] = 25;
  return record;
}

void BM_MapTo103(benchmark::State& state) {
  const auto source = SampleRecord<ContentRecord102>(ContentRecord102::kText1);
  ContentRecord103 target;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&source);
    MapTo103(source, target);
    benchmark::DoNotOptimize(&target);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapTo103);

void BM_MapTo140(benchmark::State& state) {
  const auto source = SampleRecord<ContentRecord103>(ContentRecord103::kText1);
  ContentRecord140 target;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&source);
    MapTo140(source, target);
    benchmark::DoNotOptimize(&target);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapTo140);

// A source file of kRecordCount records of Record's layout in a fresh folder
// of this run's own.
template <typename Record>
std::string MakeSourceFile(const std::string& name) {
  static const testing::TempFolder folder("kwt-records-bench-");
  const auto path = folder.path() / name;
  const auto record = SampleRecord<Record>(Record::kText1);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int i = 0; i < kRecordCount; ++i) {
    out.write(reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size());
  }
  return path.string();
}

// Reads, maps and writes each record with a check after every call, as a
// conversion pass does. Map is null for the unchanged copy.
template <typename Source, typename Target, void (*Map)(const Source&, Target&)>
void Convert(benchmark::State& state, const char* name) {
  const std::string sourcePath = MakeSourceFile<Source>(name);
  const std::string targetPath = sourcePath + ".out";
  Source source;
  Target target;
  for (auto _ : state) {
    RecordFile in, out;
    AssignPath(in, sourcePath);
    AssignPath(out, targetPath);
    OpenExisting(in, static_cast<std::uint32_t>(sizeof(Source)));
    CheckIo();
    CreateEmpty(out, static_cast<std::uint32_t>(sizeof(Target)), Sharing::Exclusive);
    CheckIo();
    for (int i = 0; i < kRecordCount; ++i) {
      ReadRecord(in, &source);
      CheckIo();
      if constexpr (Map != nullptr) {
        Map(source, target);
        WriteRecord(out, &target);
      } else {
        WriteRecord(out, &source);
      }
      CheckIo();
    }
    CloseRecordFile(in);
    CheckIo();
    CloseRecordFile(out);
    CheckIo();
  }
  state.SetItemsProcessed(state.iterations() * kRecordCount);
  std::filesystem::remove(sourcePath);
  std::filesystem::remove(targetPath);
}

void BM_Convert100kTo103(benchmark::State& state) {
  Convert<ContentRecord102, ContentRecord103, MapTo103>(state, "to103.KWT");
}
BENCHMARK(BM_Convert100kTo103)->Unit(benchmark::kMillisecond);

void BM_Convert100kTo140(benchmark::State& state) {
  Convert<ContentRecord103, ContentRecord140, MapTo140>(state, "to140.KWT");
}
BENCHMARK(BM_Convert100kTo140)->Unit(benchmark::kMillisecond);

// The floor: the same 300-byte records copied unchanged, record by record.
void BM_Copy100kRecords300(benchmark::State& state) {
  Convert<ContentRecord102, ContentRecord102, nullptr>(state, "copy.KWT");
}
BENCHMARK(BM_Copy100kRecords300)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kwt
