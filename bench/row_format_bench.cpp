// Micro-benchmarks of the CSV data rows: the formatter alone, the whole row path into a
// discarding stream (local clock, buffer), and the same into a real file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "csv/csv_writer.h"
#include "csv/row_format.h"
#include "flight/sample_record.h"

namespace datmend {
namespace {

// Bits 0, 2-7, 11-16, 20-28 and 30: most columns of a single-engine instrument.
constexpr uint32_t kMostColumns = 0x5FF1F8FD;
constexpr uint16_t kSingle = 830;
constexpr uint16_t kTwin = 760;
// 2024-05-11 09:05:00 UTC.
constexpr int64_t kStart = 1715418300;

// Engine-like values that wander a little from row to row, with an occasional NA.
std::vector<SampleRecord> make_samples(size_t count) {
  std::vector<SampleRecord> samples(count);
  uint32_t state = 12345;
  auto next = [&state](int n) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<uint32_t>(n));
  };
  SampleRecord sample;
  for (int s = 0; s < VALUE_SLOTS; ++s) sample.values[s] = static_cast<int16_t>(150 + 7 * s);
  for (int e = 0; e < 6; ++e) sample.values[e] = static_cast<int16_t>(1300 + 20 * e);
  sample.values[41] = 2450;
  for (SampleRecord& out : samples) {
    for (int16_t& v : sample.values) v = static_cast<int16_t>(v + next(7) - 3);
    sample.values[16] = next(50) == 0 ? 1 : 0;
    sample.dif = {static_cast<int16_t>(next(90)), static_cast<int16_t>(next(90))};
    sample.na_bits = {};
    if (next(40) == 0) sample.na_bits[1] = 0x20;
    out = sample;
  }
  return samples;
}

void format_rows(benchmark::State& state, uint16_t model) {
  RowPlan plan;
  plan_data_row(plan, model, kMostColumns);
  const std::vector<SampleRecord> samples = make_samples(4096);
  std::vector<char> buffer(MAX_ROW_BYTES);
  size_t bytes = 0;
  size_t i = 0;
  for (auto _ : state) {
    const TimeOfDay time_of_day{9, static_cast<int>(i / 10 % 60), static_cast<int>(i % 60)};
    char* end = format_data_row(plan, time_of_day, samples[i % samples.size()], buffer.data());
    bytes += static_cast<size_t>(end - buffer.data());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
    ++i;
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());
}

void BM_FormatRowSingle(benchmark::State& state) { format_rows(state, kSingle); }
void BM_FormatRowTwin(benchmark::State& state) { format_rows(state, kTwin); }

// One flight of state.range(0) rows per iteration, through the writer's whole row path.
void write_flights(benchmark::State& state, uint16_t model, bool to_file) {
  FileState file;
  const char* tmp = std::getenv("TMPDIR");
  file.input_path = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/BENCH.DAT";
  file.config.model = model;
  file.config.feature_flags = kMostColumns;
  Options options;
  CsvWriter csv;
  csv.discard_output = !to_file;
  csv.fixed_now = kStart;
  FlightHeader header;
  header.flight_number = 1;
  header.flags = kMostColumns;
  header.interval = 6;
  const std::vector<SampleRecord> samples = make_samples(4096);
  const int64_t rows = state.range(0);
  uint64_t bytes = 0;
  for (auto _ : state) {
    open_csv_file(csv, file, options, header.flight_number);
    write_csv_header(csv, file, header);
    for (int64_t r = 0; r < rows; ++r) {
      write_data_row(csv, kStart + 6 * r, samples[static_cast<size_t>(r) % samples.size()]);
    }
    bytes += stream_position(csv.csv_file);
    patch_duration(csv, header, kStart + 6 * (rows - 1));
    close_csv_file(csv);
  }
  if (to_file) std::remove(csv.csv_path.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations() * rows);
}

void BM_WriteRowsDiscarded(benchmark::State& state) { write_flights(state, kSingle, false); }
void BM_WriteRowsTwinDiscarded(benchmark::State& state) { write_flights(state, kTwin, false); }
void BM_WriteRowsToFile(benchmark::State& state) { write_flights(state, kSingle, true); }

}  // namespace

BENCHMARK(BM_FormatRowSingle);
BENCHMARK(BM_FormatRowTwin);
BENCHMARK(BM_WriteRowsDiscarded)->Arg(100000);
BENCHMARK(BM_WriteRowsTwinDiscarded)->Arg(100000);
BENCHMARK(BM_WriteRowsToFile)->Arg(100)->Arg(100000);

}  // namespace datmend

BENCHMARK_MAIN();
