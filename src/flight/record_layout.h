// Where the parts of one data record lie (layout in flight_format.h). Both the flight
// decoder and the legacy rewrite find a record's checksum byte from its flag bytes alone;
// this is the one place that walks them.
#ifndef DATMEND_FLIGHT_RECORD_LAYOUT_H_
#define DATMEND_FLIGHT_RECORD_LAYOUT_H_

#include <array>
#include <cstdint>
#include <span>

#include "flight/flight_format.h"

namespace datmend {

struct RecordLayout {
  uint8_t decode_flags = 0;
  uint8_t sign_presence = 0;
  uint8_t repeat_count = 0;
  std::array<uint8_t, FIELD_FLAG_BYTES> field_flags{};  // absent bytes are 0
  std::array<uint8_t, SCALE_FLAG_BYTES> scale_flags{};
  std::array<uint8_t, SIGN_FLAG_BYTES> sign_flags{};
  // Offsets from the record's first byte.
  uint32_t delta_offset = 0;     // first delta byte
  uint32_t scale_offset = 0;     // first scale byte
  uint32_t checksum_offset = 0;  // the checksum byte; also the count of bytes it covers
};

// Reads the layout of the record that begins at record[0]; `record` runs to the end of the
// flight's region and holds at least RECORD_FIXED_BYTES bytes. Returns false when a flag
// byte, a delta or scale byte, or the checksum byte would lie at or beyond the region's
// end; no byte beyond it is read.
bool read_record_layout(std::span<const uint8_t> record, RecordLayout* layout);

}  // namespace datmend

#endif  // DATMEND_FLIGHT_RECORD_LAYOUT_H_
