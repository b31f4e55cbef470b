// The checksum byte that ends every flight header and data record. Two forms exist: the
// XOR form (exclusive-or of the covered bytes), carried by files of the older format, and
// the sum form (two's complement of the 8-bit sum, so that bytes and checksum add up to 0),
// carried by the newer. Either form is accepted in every file; the file's version only
// decides which is computed first.
#ifndef DATMEND_FLIGHT_CHECKSUM_H_
#define DATMEND_FLIGHT_CHECKSUM_H_

#include <cstdint>
#include <span>

namespace datmend {

struct FileState;

// The XOR form of a run of bytes; 0 for an empty run.
uint8_t xor_bytes(std::span<const uint8_t> bytes);

// The sum form of a run of bytes; 0 for an empty run.
uint8_t sum_bytes(std::span<const uint8_t> bytes);

// True when `checksum` equals the XOR form or the sum form of `bytes`. Reads
// firmware_version and legacy_threshold of `state` for the order of the two tests.
bool verify_record_checksum(const FileState& state, std::span<const uint8_t> bytes,
                            uint8_t checksum);

}  // namespace datmend

#endif  // DATMEND_FLIGHT_CHECKSUM_H_
