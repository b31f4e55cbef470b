// Constants of the binary flight data and the layout of its two records.
//
// The flight data follows the text header. It holds one region per directory entry, back
// to back in directory order, each 2 x length_words bytes long. A region starts with the
// flight header and continues with data records; one to three bytes left at the end of a
// region are ignored. The last region must end before the end of the file.
//
// Flight header: 15 bytes, every word big-endian (most significant byte first).
//   offset 0   flight_number   must equal the directory entry's number
//   offset 2   flags bits 0-15   (the flight's feature flags, low half)
//   offset 4   flags bits 16-31  (high half)
//   offset 6   unit_flags      bit 0x20: OAT in degrees F, else C
//   offset 8   interval        seconds between samples; outside 2..512 means 6
//   offset 10  date            bits 0-4 day, 5-8 month (1 = January), 9-15 year (0-49 are
//                              2000-2049, 50-127 are 1950-2027)
//   offset 12  time            bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours
//   offset 14  checksum        over bytes 0 to 13
//
// Data record: variable length; bit n of a flag set is bit (n mod 8) of byte (n div 8).
//   1 byte     decode flags: bit i (0-5) field-flag byte i present; bit 6 scale-flag
//              byte 0 present; bit 7 scale-flag byte 1 present
//   1 byte     sign-presence flags: bit i (0-5) sign-flag byte i present
//   1 byte     repeat count: rows that repeat the previous values before this record's
//   0-6 bytes  field flags, present bytes in ascending order: bit s, slot s has a delta byte
//   0-2 bytes  scale flags: bit k of byte j, slot 24 x j + k has a scale byte
//   0-6 bytes  sign flags: bit s, slot s's delta and scale are subtracted
//   n bytes    one delta byte per set field-flag bit, slots ascending; 0 marks the slot NA
//   m bytes    one scale byte per set scale-flag bit (units of 256); 0 changes nothing
//   1 byte     checksum over every byte of the record before it
// Absent flag bytes count as 0; the shortest record is 4 bytes.
#ifndef DATMEND_FLIGHT_FLIGHT_FORMAT_H_
#define DATMEND_FLIGHT_FLIGHT_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace datmend {

inline constexpr uint16_t TWIN_MODEL = 760;      // the twin-engine instrument
inline constexpr int ENGINE_STRIDE = 24;         // second engine's slots lie this far above
inline constexpr uint32_t MAX_FLIGHTS = 512;     // flight directory entries per file
inline constexpr int VALUE_SLOTS = 48;           // running values of a flight
inline constexpr int16_t INITIAL_VALUE = 240;    // start value of the slots
inline constexpr uint16_t DEFAULT_INTERVAL = 6;  // replaces an interval outside 2..512
inline constexpr uint16_t MIN_INTERVAL = 2;
inline constexpr uint16_t MAX_INTERVAL = 512;

inline constexpr size_t FLIGHT_HEADER_BYTES = 14;  // covered by the checksum at offset 14
inline constexpr size_t FLIGHT_HEADER_SIZE = 15;   // header bytes and checksum
inline constexpr uint32_t MIN_FLIGHT_WORDS = 7;
inline constexpr size_t RECORD_FIXED_BYTES = 3;  // decode flags, sign presence, repeat
inline constexpr size_t FIELD_FLAG_BYTES = 6;
inline constexpr size_t SCALE_FLAG_BYTES = 2;
inline constexpr size_t SIGN_FLAG_BYTES = 6;
inline constexpr int SCALE_SLOTS_PER_BYTE = 8;
inline constexpr int SCALE_BYTE_STRIDE = 24;  // scale-flag byte j covers slots 24j..24j+7

inline constexpr uint32_t RPM_FLAG = 0x04000000;  // feature bit 26: slot 42 merges into 41
inline constexpr int RPM_SLOT = 41;
inline constexpr int RPM_HIGH_SLOT = 42;
inline constexpr int HP_SLOT = 30;

// Bit n of a byte sequence: bit (n mod 8) of byte (n div 8), bit 0 the least significant.
inline bool test_bit(const uint8_t* bytes, int n) { return (bytes[n >> 3] >> (n & 7)) & 1; }

inline uint16_t read_be16(const uint8_t* bytes) {
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace datmend

#endif  // DATMEND_FLIGHT_FLIGHT_FORMAT_H_
