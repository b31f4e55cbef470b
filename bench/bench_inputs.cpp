// Writes the inputs of the whole-process benchmark, the same bytes from the same seed:
//   single-512   one single-engine file at the format's limits: 512 flights of regions close
//                to 65535 words, most columns selected
//   twin-512     the same for the twin-engine model 760
//   batch-1000   1,000 small files of a few flights each, named by the pattern R*.DAT
//   single-128, single-256   the first 128 and 256 flights of single-512, for linearity
// and the list of cases, cases.txt, for bench_runner.
// Usage: bench_inputs [--seed N] [--quick] <output directory>
// --quick makes the same cases a few flights and files small, to check the setup.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench_cases.h"
#include "data_file_writer.h"
#include "rng.h"
#include "support/data_builder.h"
#include "synthetic_flight.h"

namespace {

using datmend::bench::BenchCase;
using datmend::bench::CaseKind;
using datmend::bench::FlightPlan;
using datmend::bench::FlightRegion;
using datmend::bench::InstrumentHeader;
using datmend::bench::Rng;
using datmend::bench::SyntheticFlight;

// Bits 0, 2-7, 11-16, 20-28 and 30: BAT and MARK, C1-C6, E1-E6, OIL, T1, T2, CDT, IAT, OAT,
// RPM, FF and USD, CLD, MAP, and with them DIF and HP. Six cylinders.
constexpr uint32_t kMostColumns = 0x5FF1F8FD;
constexpr uint16_t kSingleModel = 830;
constexpr uint16_t kTwinModel = 760;

struct Sizes {
  int large_flights = 512;
  std::vector<int> linearity_flights = {128, 256};
  int batch_files = 1000;
};

FlightPlan plan_flight(uint16_t number, uint16_t model, Rng& rng) {
  FlightPlan plan;
  plan.flight_number = number;
  plan.model = model;
  plan.flags = kMostColumns;
  plan.date =
      datmend::testdata::pack_date(rng.between(22, 25), rng.between(1, 12), rng.between(1, 28));
  plan.time = datmend::testdata::pack_time(rng.between(6, 18), rng.below(60), 2 * rng.below(30));
  return plan;
}

struct Flight {
  uint16_t number = 0;
  SyntheticFlight data;
};

// Writes one data file of the given flights; returns its size.
uint64_t write_data_file(const std::filesystem::path& path, const InstrumentHeader& header,
                         const std::vector<Flight>& flights, size_t count) {
  std::vector<FlightRegion> regions;
  for (size_t i = 0; i < count; ++i)
    regions.push_back({flights[i].number, &flights[i].data.region});
  const std::vector<uint8_t> bytes = datmend::bench::data_file_bytes(header, regions);
  datmend::testdata::write_file(path.string(), bytes);
  return bytes.size();
}

BenchCase one_file_case(const std::filesystem::path& root, const std::string& name, CaseKind kind,
                        const InstrumentHeader& header, const std::vector<Flight>& flights,
                        size_t count) {
  const std::string file = header.model == kTwinModel ? "twin.DAT" : "single.DAT";
  std::filesystem::create_directories(root / name);
  BenchCase c;
  c.name = name;
  c.kind = kind;
  c.pattern = file;
  c.files = 1;
  c.flights = count;
  for (size_t i = 0; i < count; ++i) c.rows += flights[i].data.rows;
  c.input_bytes = c.largest_input_bytes =
      write_data_file(root / name / file, header, flights, count);
  return c;
}

std::vector<Flight> large_flights(uint16_t model, int count, Rng& rng) {
  std::vector<Flight> flights;
  for (int i = 0; i < count; ++i) {
    const auto number = static_cast<uint16_t>(i + 1);
    flights.push_back(
        {number, datmend::bench::make_synthetic_flight(plan_flight(number, model, rng), rng)});
  }
  return flights;
}

BenchCase batch_case(const std::filesystem::path& root, int files, Rng& rng) {
  BenchCase c;
  c.name = "batch-" + std::to_string(files);
  c.kind = CaseKind::kBatch;
  c.pattern = "R*.DAT";
  c.files = static_cast<uint64_t>(files);
  std::filesystem::create_directories(root / c.name);
  InstrumentHeader header;
  header.model = kSingleModel;
  header.feature_flags = kMostColumns;
  // Flight numbers go on from file to file, as one instrument numbers them, so no two
  // flights of the batch write the same CSV file.
  uint16_t next_number = 1;
  for (int f = 0; f < files; ++f) {
    std::vector<Flight> flights;
    const int count = rng.between(2, 5);
    for (int i = 0; i < count; ++i) {
      FlightPlan plan = plan_flight(next_number, kSingleModel, rng);
      plan.max_records = static_cast<size_t>(rng.between(100, 700));
      flights.push_back({next_number++, datmend::bench::make_synthetic_flight(plan, rng)});
      c.rows += flights.back().data.rows;
    }
    char name[32];
    std::snprintf(name, sizeof name, "R%04d.DAT", f + 1);
    const uint64_t size = write_data_file(root / c.name / name, header, flights, flights.size());
    c.flights += flights.size();
    c.input_bytes += size;
    if (size > c.largest_input_bytes) c.largest_input_bytes = size;
  }
  return c;
}

int usage() {
  std::fputs("usage: bench_inputs [--seed N] [--quick] <output directory>\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t seed = 1;
  Sizes sizes;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--quick") {
      sizes = {16, {4, 8}, 20};
    } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
      output = arg;
    } else {
      return usage();
    }
  }
  if (output.empty()) return usage();

  try {
    const std::filesystem::path root(output);
    std::filesystem::create_directories(root);
    std::vector<BenchCase> cases;
    const std::string large = std::to_string(sizes.large_flights);

    // Separate streams per case, so changing one case leaves the others' bytes alone.
    Rng single_rng{seed * 3 + 1};
    InstrumentHeader single;
    single.model = kSingleModel;
    single.feature_flags = kMostColumns;
    const std::vector<Flight> single_flights =
        large_flights(kSingleModel, sizes.large_flights, single_rng);
    cases.push_back(one_file_case(root, "single-" + large, CaseKind::kLarge, single, single_flights,
                                  single_flights.size()));
    for (int count : sizes.linearity_flights) {
      cases.push_back(one_file_case(root, "single-" + std::to_string(count), CaseKind::kLinearity,
                                    single, single_flights, static_cast<size_t>(count)));
    }

    Rng twin_rng{seed * 3 + 2};
    InstrumentHeader twin;
    twin.model = kTwinModel;
    twin.feature_flags = kMostColumns;
    twin.firmware_version = "146";  // 140 and above: newer format on the twin
    twin.aircraft_number = "N760TW";
    {
      const std::vector<Flight> twin_flights =
          large_flights(kTwinModel, sizes.large_flights, twin_rng);
      cases.push_back(one_file_case(root, "twin-" + large, CaseKind::kLarge, twin, twin_flights,
                                    twin_flights.size()));
    }

    Rng batch_rng{seed * 3 + 3};
    cases.push_back(batch_case(root, sizes.batch_files, batch_rng));

    datmend::bench::write_cases((root / datmend::bench::CASES_FILE).string(), cases);
    for (const BenchCase& c : cases) {
      std::printf("%-12s %5llu files %4llu flights %9llu rows %7.1f MB\n", c.name.c_str(),
                  static_cast<unsigned long long>(c.files),
                  static_cast<unsigned long long>(c.flights),
                  static_cast<unsigned long long>(c.rows), c.input_bytes / 1e6);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_inputs: %s\n", error.what());
    return 1;
  }
  return 0;
}
