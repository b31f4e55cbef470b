// The one per-file state of the run: the loaded file and the values of its "$" header
// records. The driver loads a file into it, the header reader fills it, and the flight
// decoder, the CSV writer and the legacy rewrite read it.
#ifndef DATMEND_HEADER_FILE_STATE_H_
#define DATMEND_HEADER_FILE_STATE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "flight/flight_format.h"

namespace datmend {

// The values of the "$C" record, in their order in the record.
struct ConfigRecord {
  uint16_t model = 0;
  uint32_t feature_flags = 0;  // value 2 is the low half, value 3 the high half
  uint16_t config_word = 0;    // stored, not used
  uint16_t firmware_version = 0;
};

// One "$D" record: a flight and the length of its binary data in 16-bit words.
struct FlightDirEntry {
  uint16_t flight_number = 0;
  uint16_t length_words = 0;
};

struct FileState {
  // The loaded file. reset_file_state leaves these alone; each load replaces input_path
  // and file_size. The buffer only grows and is reused from file to file: bytes beyond
  // file_size are stale, and every reader bounds itself by file_size.
  std::string input_path;
  std::unique_ptr<uint8_t[]> buffer;
  uint32_t buffer_capacity = 0;
  uint32_t file_size = 0;

  // The header records. a_values, f_values, t_values, l_value and config.config_word are
  // stored and not used further.
  std::array<uint16_t, 8> a_values{};
  ConfigRecord config;
  std::array<uint16_t, 5> f_values{};
  std::array<uint16_t, 6> t_values{};
  uint16_t l_value = 0;
  std::string aircraft_number;  // at most 15 characters
  std::array<FlightDirEntry, MAX_FLIGHTS> flight_dir{};
  uint32_t flight_count = 0;
  // The first byte of the flight data: two bytes after the carriage return of "$L". May
  // lie one byte beyond the end of the file.
  uint32_t data_start = 0;

  // The firmware version from which the file counts as new format, and the version text
  // that the "$C" patch writes (set at every "$C").
  uint16_t legacy_threshold = 0;
  std::string legacy_version_text;

  std::span<const uint8_t> bytes() const { return {buffer.get(), file_size}; }
  std::span<uint8_t> bytes() { return {buffer.get(), file_size}; }
};

// Clears everything the header records of the previous file set; leaves the loaded-file
// fields alone.
void reset_file_state(FileState& state);

}  // namespace datmend

#endif  // DATMEND_HEADER_FILE_STATE_H_
