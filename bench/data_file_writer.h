// Lays out a whole data file from the regions of its flights: the "$" header records of an
// instrument, one "$D" per flight, "$L", the regions back to back and two bytes after them.
#ifndef DATMEND_BENCH_DATA_FILE_WRITER_H_
#define DATMEND_BENCH_DATA_FILE_WRITER_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace datmend::bench {

struct InstrumentHeader {
  uint16_t model = 830;
  uint32_t feature_flags = 0;
  std::string firmware_version = "344";  // as written in "$C"; 300 and above: newer format
  std::string aircraft_number = "N830BM";
};

struct FlightRegion {
  uint16_t flight_number = 0;
  const std::vector<uint8_t>* bytes = nullptr;  // a region of an even number of bytes
};

std::vector<uint8_t> data_file_bytes(const InstrumentHeader& header,
                                     std::span<const FlightRegion> flights);

}  // namespace datmend::bench

#endif  // DATMEND_BENCH_DATA_FILE_WRITER_H_
