#include "flight/flight_header.h"

namespace datmend {

FlightHeader read_flight_header(std::span<const uint8_t, FLIGHT_HEADER_BYTES> bytes) {
  const uint8_t* p = bytes.data();
  FlightHeader header;
  header.flight_number = read_be16(p);
  header.flags =
      static_cast<uint32_t>(read_be16(p + 2)) | (static_cast<uint32_t>(read_be16(p + 4)) << 16);
  header.unit_flags = read_be16(p + 6);
  header.interval = read_be16(p + 8);
  header.date = read_be16(p + 10);
  header.time = read_be16(p + 12);
  return header;
}

}  // namespace datmend
