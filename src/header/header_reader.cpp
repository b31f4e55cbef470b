#include "header/header_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>

#include "driver/fatal_error.h"
#include "header/legacy_rules.h"

namespace datmend {
namespace {

constexpr size_t AIRCRAFT_NUMBER_CHARS = 15;
constexpr size_t AIRCRAFT_NUMBER_START = 3;  // after "$U" and the character that follows
constexpr size_t VERSION_CHARS = 3;
constexpr size_t CHECKSUM_CHARS = 2;

// The white space of C's isspace in the "C" locale.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A "%.*s" precision for a record's text; a record longer than INT_MAX is printed cut.
int print_length(std::string_view text) {
  return text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
}

// Exclusive-or of the text from its second character up to, not including, `end`.
uint8_t record_xor(std::string_view record, size_t end) {
  uint8_t x = 0;
  for (size_t i = 1; i < end; ++i) x ^= static_cast<uint8_t>(record[i]);
  return x;
}

// Lowers the firmware version written in a "$C" record of the newer format, in place and
// without changing the record's length, and writes the record's new checksum.
void patch_config_version(FileState& state, char* text, size_t length) {
  if (state.config.firmware_version < state.legacy_threshold) return;
  const std::string_view record(text, length);
  const size_t comma = record.rfind(',');
  const size_t star = record.rfind('*');
  if (comma == std::string_view::npos || star == std::string_view::npos) return;
  size_t version = comma + 1;
  while (version < length && record[version] == ' ') ++version;
  // Only a version of exactly three characters is replaced, and only when two checksum
  // characters stand before the line end: writing two digits over one or three would
  // eat the line end or leave a stray digit behind.
  if (star < version || star - version != VERSION_CHARS) return;
  if (length - (star + 1) != CHECKSUM_CHARS) return;
  if (state.legacy_version_text.size() != VERSION_CHARS) return;

  std::memcpy(text + version, state.legacy_version_text.data(), VERSION_CHARS);
  const uint8_t x = record_xor(record, star);
  static constexpr char DIGITS[] = "0123456789ABCDEF";
  text[star + 1] = DIGITS[x >> 4];
  text[star + 2] = DIGITS[x & 0x0F];
}

void read_config(FileState& state, char* text, size_t length) {
  std::array<uint16_t, 5> values{};
  read_header_values(values, std::string_view(text, length));
  state.config.model = values[0];
  state.config.feature_flags = static_cast<uint32_t>(values[1]) | (uint32_t{values[2]} << 16);
  state.config.config_word = values[3];
  state.config.firmware_version = values[4];

  const LegacyRule rule = find_legacy_rule(state.config.model);
  state.legacy_threshold = rule.threshold;
  state.legacy_version_text.assign(rule.version_text);
  patch_config_version(state, text, length);
}

void read_flight_entry(FileState& state, std::string_view record) {
  if (state.flight_count >= MAX_FLIGHTS) {
    fatal_error("This program can only handle %d flights per file", static_cast<int>(MAX_FLIGHTS));
  }
  std::array<uint16_t, 2> values{};
  read_header_values(values, record);
  FlightDirEntry& entry = state.flight_dir[state.flight_count];
  entry.flight_number = values[0];
  entry.length_words = values[1];
  ++state.flight_count;
}

// The text from the fourth character up to the first "*" of the record. A "*" that stands
// before the fourth character leaves the number empty rather than taking in the checksum.
void read_aircraft_number(FileState& state, std::string_view record) {
  const size_t star = std::min(record.find('*'), record.size());
  if (star <= AIRCRAFT_NUMBER_START) {
    state.aircraft_number.clear();
    return;
  }
  const std::string_view number =
      record.substr(AIRCRAFT_NUMBER_START, star - AIRCRAFT_NUMBER_START);
  state.aircraft_number.assign(number.substr(0, AIRCRAFT_NUMBER_CHARS));
}

}  // namespace

void verify_header_checksum(std::string_view record) {
  const size_t star = record.rfind('*');
  if (star == std::string_view::npos) {
    fatal_error("Header checksum format error: %.*s\n", print_length(record), record.data());
  }
  // Hexadecimal without a sign: "+" or "-" is no number, and a "0x" prefix reads as 0.
  size_t pos = star + 1;
  while (pos < record.size() && is_space(record[pos])) ++pos;
  uint16_t value = 0;
  size_t digits = 0;
  for (; pos < record.size() && hex_value(record[pos]) >= 0; ++pos, ++digits) {
    value = static_cast<uint16_t>((value << 4) | hex_value(record[pos]));
  }
  if (digits == 0) {
    fatal_error("Header checksum format error: %.*s\n", print_length(record), record.data());
  }
  if (value != record_xor(record, star)) {
    fatal_error("Header checksum failed: %.*s", print_length(record), record.data());
  }
}

void read_header_values(std::span<uint16_t> values, std::string_view record) {
  size_t search_from = 0;
  for (uint16_t& value : values) {
    const size_t comma = record.find(',', search_from);
    size_t pos = comma == std::string_view::npos ? record.size() : comma + 1;
    search_from = pos;
    while (pos < record.size() && is_space(record[pos])) ++pos;
    // Only digits make a number; a sign counts as none. The low 16 bits are kept.
    uint16_t number = 0;
    size_t digits = 0;
    for (; pos < record.size() && record[pos] >= '0' && record[pos] <= '9'; ++pos, ++digits) {
      number = static_cast<uint16_t>(number * 10 + (record[pos] - '0'));
    }
    if (comma == std::string_view::npos || digits == 0) {
      fatal_error("Not enough values (%d): %.*s\n", static_cast<int>(values.size()),
                  print_length(record), record.data());
    }
    value = number;
  }
}

void parse_header_records(FileState& state) {
  const std::span<uint8_t> file = state.bytes();
  // Positions are 64-bit: the next record's start may lie one byte beyond a file of the
  // largest 32-bit size.
  uint64_t start = 0;
  for (;;) {
    if (start >= file.size()) fatal_error("Unexpected end of .DAT file");
    uint8_t* const begin = file.data() + start;
    const size_t remaining = file.size() - static_cast<size_t>(start);
    const auto* cr = static_cast<const uint8_t*>(std::memchr(begin, '\r', remaining));
    if (cr == nullptr) fatal_error("Unexpected end of .DAT file");
    size_t length = static_cast<size_t>(cr - begin);
    const uint64_t next = start + length + 2;
    if (const void* nul = std::memchr(begin, '\0', length)) {
      length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - begin);
    }
    char* const text = reinterpret_cast<char*>(begin);
    const std::string_view record(text, length);

    verify_header_checksum(record);
    if (record.empty() || record[0] != '$') {
      fatal_error("Expected $ at beginning of record:\n --> %.*s", print_length(record),
                  record.data());
    }
    switch (record.size() > 1 ? record[1] : '\0') {
      case 'A':
        read_header_values(state.a_values, record);
        break;
      case 'C':
        read_config(state, text, length);
        break;
      case 'D':
        read_flight_entry(state, record);
        break;
      case 'F':
        read_header_values(state.f_values, record);
        break;
      case 'L':
        read_header_values(std::span<uint16_t>(&state.l_value, 1), record);
        // One byte beyond the end at most; only a file of the largest 32-bit size could
        // carry that past the 32-bit range, and there it means the same: no flight data.
        state.data_start = next > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(next);
        return;
      case 'T':
        read_header_values(state.t_values, record);
        break;
      case 'U':
        read_aircraft_number(state, record);
        break;
      default:
        std::printf("Unrecognized header record:\n --> %.*s\n", print_length(record),
                    record.data());
        break;
    }
    start = next;
  }
}

}  // namespace datmend
