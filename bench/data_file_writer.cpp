#include "data_file_writer.h"

#include <stdexcept>

#include "support/data_builder.h"

namespace datmend::bench {

// Built here rather than with build_data_file, which would hold every record of every
// flight as a description at once: gigabytes for a file at the format's limits.
std::vector<uint8_t> data_file_bytes(const InstrumentHeader& header,
                                     std::span<const FlightRegion> flights) {
  using testdata::header_record;
  if (flights.size() > 512) throw std::invalid_argument("more flights than a directory holds");
  std::string text = header_record("U," + header.aircraft_number);
  text += header_record("A,305,230,500,415,60,1650,230,90");
  text += header_record("F,0,999,0,2950,2950");
  text += header_record("T,5,17,24,9,5,0");
  text += header_record(
      "C," + std::to_string(header.model) + "," + std::to_string(header.feature_flags & 0xFFFF) +
      "," + std::to_string(header.feature_flags >> 16) + ",0," + header.firmware_version);
  size_t data_bytes = 0;
  for (const FlightRegion& flight : flights) {
    const size_t size = flight.bytes->size();
    if (size % 2 != 0 || size / 2 > 0xFFFF) throw std::invalid_argument("region size");
    text +=
        header_record("D," + std::to_string(flight.flight_number) + "," + std::to_string(size / 2));
    data_bytes += size;
  }
  text += header_record("L,1");

  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() + data_bytes + 2);
  bytes.assign(text.begin(), text.end());
  for (const FlightRegion& flight : flights) {
    bytes.insert(bytes.end(), flight.bytes->begin(), flight.bytes->end());
  }
  // The last region may not end at the very end of the file.
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

}  // namespace datmend::bench
