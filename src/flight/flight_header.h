// The flight header in memory: the seven words that open every flight's region (layout in
// flight_format.h), in the machine's byte order. The checksum byte is not kept.
#ifndef DATMEND_FLIGHT_FLIGHT_HEADER_H_
#define DATMEND_FLIGHT_FLIGHT_HEADER_H_

#include <cstdint>
#include <span>

#include "flight/flight_format.h"

namespace datmend {

struct FlightHeader {
  uint16_t flight_number = 0;
  uint32_t flags = 0;  // the flight's feature flags
  uint16_t unit_flags = 0;
  uint16_t interval = 0;
  uint16_t date = 0;
  uint16_t time = 0;
};

// Reads the 14 header bytes (without the checksum byte).
FlightHeader read_flight_header(std::span<const uint8_t, FLIGHT_HEADER_BYTES> bytes);

}  // namespace datmend

#endif  // DATMEND_FLIGHT_FLIGHT_HEADER_H_
