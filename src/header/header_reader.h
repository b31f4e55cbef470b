// Reads the text header of a data file: the "$" records up to "$L", each with its own
// checksum, into the FileState. Every failure is fatal (fatal_error).
//
// A record runs from its "$" to a carriage return; the byte after the carriage return is
// skipped unread and the next record begins after it. The record's text stops at the
// carriage return, or earlier at a NUL byte: such a record is handled, checksum included,
// as the text before the NUL, the way C string handling sees it.
#ifndef DATMEND_HEADER_HEADER_READER_H_
#define DATMEND_HEADER_HEADER_READER_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "header/file_state.h"

namespace datmend {

// Checks and reads the records of the loaded file, from its first byte to "$L": fills
// config, aircraft_number, the flight directory and the other header values, sets
// data_start, and for a file of the newer format lowers the "$C" version text in the
// buffer. Prints "Unrecognized header record:\n --> %s\n" for a record of another letter
// and goes on. Reads no byte at or beyond file_size.
void parse_header_records(FileState& state);

// Returns only when the record's text (from "$", without its line end) carries a well
// formed and correct checksum after its last "*".
void verify_header_checksum(std::string_view record);

// Reads values 1 to values.size() of the record, each after the next comma, keeping the
// low 16 bits of each number. Returns only when all of them were there.
void read_header_values(std::span<uint16_t> values, std::string_view record);

}  // namespace datmend

#endif  // DATMEND_HEADER_HEADER_READER_H_
