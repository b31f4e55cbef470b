// Builds data files with correct checksums, for tests, examples, benchmarks and the fuzz
// corpus, and breaks one thing of a good file on request. Nothing here reads data files.
#ifndef DATMEND_TESTS_SUPPORT_DATA_BUILDER_H_
#define DATMEND_TESTS_SUPPORT_DATA_BUILDER_H_

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace datmend::testdata {

// The two forms of a binary checksum byte.
enum class ChecksumForm { kXor, kSum };

uint8_t checksum_of(const uint8_t* bytes, size_t count, ChecksumForm form);

// One "$" header record with its line end: "$" + body + "*" + two upper-case hex digits
// of the checksum + "\r\n". `body` starts with the record letter, as in "L,1".
std::string header_record(std::string_view body);
// The same with the given text after the "*" (a wrong or malformed checksum).
std::string header_record_with_checksum(std::string_view body, std::string_view checksum);
// The checksum of a record body (exclusive-or of its bytes).
uint8_t header_checksum(std::string_view body);

// One data record, described by what it changes.
struct RecordSpec {
  uint8_t repeat_count = 0;
  std::map<int, uint8_t> deltas;     // slot -> delta byte (0 marks the slot not available)
  std::map<int, uint8_t> scales;     // slot (0-7 or 24-31) -> scale byte
  std::set<int> negative;            // slots whose sign flag is set
  uint8_t extra_decode_flags = 0;    // presence bits of flag bytes that stay empty
  uint8_t extra_sign_presence = 0;   // likewise for sign-flag bytes
  std::optional<ChecksumForm> form;  // default: the flight's
  std::optional<uint8_t> checksum;   // a fixed checksum byte instead of the computed one

  RecordSpec& repeat(uint8_t count);
  RecordSpec& delta(int slot, uint8_t byte, bool subtract = false);
  RecordSpec& scale(int slot, uint8_t byte, bool subtract = false);
  // Changes `slot` by `change` through a delta byte and, for slots 0-7 and 24-31, a scale
  // byte. Other slots take changes of at most 255 either way. A change of 0 adds nothing.
  RecordSpec& change(int slot, int change);
  // Marks `slot` not available (a zero delta byte).
  RecordSpec& not_available(int slot);
  // The RPM of a single-engine flight with feature bit 26: changes slot 41 by `change`
  // through slot 41's delta byte and slot 42's high byte (|change| below 65536).
  RecordSpec& change_rpm(int change);
};

// The bytes of a record in `form` (unless the record names another).
std::vector<uint8_t> encode_record(const RecordSpec& record, ChecksumForm form);

struct FlightSpec {
  uint16_t flight_number = 1;
  uint32_t flags = 0;
  uint16_t unit_flags = 0x20;
  uint16_t interval = 6;
  uint16_t date = 0;
  uint16_t time = 0;
  std::vector<RecordSpec> records;
  std::vector<uint8_t> trailing;  // bytes after the last record, inside the region
  ChecksumForm form = ChecksumForm::kSum;
  std::optional<uint8_t> header_checksum;        // a fixed header checksum byte
  std::optional<uint16_t> header_flight_number;  // the header's number, if not the entry's
  std::optional<uint16_t> length_words;          // the "$D" length, if not the region's own
  bool pad_to_even = true;  // add one zero byte when the region's length is odd
};

// Packs a date (year 0-127 as stored, month, day) and a time of day (seconds are halved).
uint16_t pack_date(int year_field, int month, int day);
uint16_t pack_time(int hour, int minute, int second);

// The region bytes of a flight: header, checksum, records, trailing bytes, padding.
std::vector<uint8_t> encode_flight(const FlightSpec& flight);

struct DataFileSpec {
  bool include_config = true;
  uint16_t model = 700;
  uint32_t feature_flags = 0;
  uint16_t config_word = 0;
  std::string firmware_version = "300";  // as written in "$C"
  std::optional<std::string> aircraft_number = "N12345";
  bool include_other_records = true;  // "$A", "$F" and "$T"
  std::vector<FlightSpec> flights;
  std::vector<std::string> extra_records;  // whole records inserted before "$L"
  // Bytes after the last region. A region may not end at the very end of the file, so a
  // good file has some.
  std::vector<uint8_t> after_flights = {0, 0};
};

struct BuiltFile {
  std::vector<uint8_t> bytes;
  uint32_t data_start = 0;
  std::vector<uint32_t> flight_offsets;               // where each region starts
  std::vector<uint32_t> flight_sizes;                 // bytes of each region
  std::vector<std::vector<uint32_t>> record_offsets;  // where each record of each flight starts
  // Position of the "$C" record's first byte, or npos.
  size_t config_offset = std::string::npos;
};

BuiltFile build_data_file(const DataFileSpec& desc);

// The same file as the older format carries it: every checksum byte in the XOR form and
// `version` in "$C" (what "-r" should make of `desc`).
DataFileSpec in_legacy_form(DataFileSpec desc, const std::string& version);
std::vector<uint8_t> build_bytes(const DataFileSpec& desc);

// Writes bytes to a file, replacing it; throws std::runtime_error on failure.
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::string& path);

}  // namespace datmend::testdata

#endif  // DATMEND_TESTS_SUPPORT_DATA_BUILDER_H_
