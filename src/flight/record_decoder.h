// Applying one data record to the running values of a flight (layout in flight_format.h).
#ifndef DATMEND_FLIGHT_RECORD_DECODER_H_
#define DATMEND_FLIGHT_RECORD_DECODER_H_

#include <cstdint>
#include <span>

#include "flight/record_layout.h"
#include "flight/sample_record.h"

namespace datmend {

// Applies the delta and scale bytes of the record that begins at record[0], whose layout
// read_record_layout has read from the same bytes (so every byte used lies inside
// `record`). A zero delta byte marks its slot not available and keeps its value; a
// non-zero one clears the mark. A zero scale byte changes nothing. On single-engine models
// slot 42, the RPM high byte, then takes the RPM slot's sign and, when non-zero, makes RPM
// available. dif and the RPM merge are left to finish_sample.
void apply_record(SampleRecord& sample, std::span<const uint8_t> record, const RecordLayout& layout,
                  uint16_t model);

}  // namespace datmend

#endif  // DATMEND_FLIGHT_RECORD_DECODER_H_
