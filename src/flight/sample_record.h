// The running values of one flight. Slot s of `values` holds the value of the column that
// names it (csv/column_table.h); for the twin model a per-engine column's second-engine
// value lies ENGINE_STRIDE slots above the first engine's. All arithmetic wraps modulo 65536.
#ifndef DATMEND_FLIGHT_SAMPLE_RECORD_H_
#define DATMEND_FLIGHT_SAMPLE_RECORD_H_

#include <array>
#include <cstdint>

#include "flight/flight_format.h"

namespace datmend {

struct SampleRecord {
  std::array<int16_t, VALUE_SLOTS> values{};
  std::array<int16_t, 2> dif{};  // per engine; dif[1] stays 0 but for the twin model
  std::array<uint8_t, VALUE_SLOTS / 8> na_bits{};  // bit s set: slot s not available
};

// The start state of a flight for `model`: every slot 240, but slots 30 (HP) and 42 (the
// RPM high byte) 0 on single-engine models; dif 0; no NA bit set.
void reset_sample(SampleRecord& sample, uint16_t model);

}  // namespace datmend

#endif  // DATMEND_FLIGHT_SAMPLE_RECORD_H_
