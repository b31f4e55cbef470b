// Synthetic flights for the benchmark: engine values that wander slowly inside realistic
// ranges, each record carrying exactly the change from the previous sample, so the CSV rows
// have the widths and the mix of fields of a real download.
#ifndef DATMEND_BENCH_SYNTHETIC_FLIGHT_H_
#define DATMEND_BENCH_SYNTHETIC_FLIGHT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rng.h"

namespace datmend::bench {

// The longest region a "$D" record can describe: 65535 words.
inline constexpr size_t MAX_REGION_BYTES = 2 * 65535;

struct FlightPlan {
  uint16_t flight_number = 1;
  uint16_t model = 830;
  uint32_t flags = 0;  // the flight header's feature flags; they decide which values move
  uint16_t interval = 6;
  uint16_t date = 0;
  uint16_t time = 0;
  size_t max_region_bytes = MAX_REGION_BYTES;  // records are added while they fit
  size_t max_records = 0;                      // 0: no limit but the region's size
};

struct SyntheticFlight {
  std::vector<uint8_t> region;  // flight header, records and padding, sum-form checksums
  uint64_t records = 0;
  uint64_t rows = 0;  // CSV data rows: one per record plus its repeat count
};

SyntheticFlight make_synthetic_flight(const FlightPlan& plan, Rng& rng);

}  // namespace datmend::bench

#endif  // DATMEND_BENCH_SYNTHETIC_FLIGHT_H_
