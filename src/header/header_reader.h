// Reads the text header of a data file: the "$" records up to "$L", each with its own
// checksum, into the FileState. Every failure is fatal (fatal_error).
#ifndef DATMEND_HEADER_HEADER_READER_H_
#define DATMEND_HEADER_HEADER_READER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "header/file_state.h"

namespace datmend {

// Checks and reads the records of the loaded file, from its first byte to "$L": fills
// config, aircraft_number, the flight directory and the other header values, sets
// data_start, and for a file of the newer format lowers the "$C" version text in the
// buffer. Prints "Unrecognized header record:\n --> %s\n" for a record of another letter.
void parse_header_records(FileState& state);

// Returns only when the record's text (from "$", without its line end) carries a well
// formed and correct checksum after its last "*".
void verify_header_checksum(std::string_view record);

// Reads values 1 to `count` of the record, each after the next comma, into `values`.
void read_header_values(uint16_t* values, std::string_view record, int count);

}  // namespace datmend

#endif  // DATMEND_HEADER_HEADER_READER_H_
