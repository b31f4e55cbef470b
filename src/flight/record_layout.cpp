#include "flight/record_layout.h"

#include <bit>

namespace datmend {
namespace {

constexpr uint8_t FIELD_PRESENCE_BITS = 0x3F;  // decode flags bits 0-5; also sign presence
constexpr uint8_t SCALE_0_PRESENT = 0x40;
constexpr uint8_t SCALE_1_PRESENT = 0x80;

// Set bits per byte value: the count of delta or scale bytes that a flag byte announces.
constexpr std::array<uint8_t, 256> BITS_SET = [] {
  std::array<uint8_t, 256> table{};
  for (int value = 1; value < 256; ++value) {
    table[value] = static_cast<uint8_t>((value & 1) + table[value >> 1]);
  }
  return table;
}();

}  // namespace

bool read_record_layout(std::span<const uint8_t> record, RecordLayout* layout) {
  *layout = RecordLayout{};
  const uint8_t decode_flags = record[0];
  const uint8_t sign_presence = record[1];
  layout->decode_flags = decode_flags;
  layout->sign_presence = sign_presence;
  layout->repeat_count = record[2];

  // The presence bits say how many flag bytes follow, so one test covers them all before
  // any is read; the checksum byte comes after them, hence at or beyond the end is refused.
  size_t pos = RECORD_FIXED_BYTES;
  if (pos + BITS_SET[decode_flags] + BITS_SET[sign_presence & FIELD_PRESENCE_BITS] >=
      record.size()) {
    return false;
  }
  size_t delta_count = 0;
  for (unsigned present = decode_flags & FIELD_PRESENCE_BITS; present != 0;
       present &= present - 1) {
    const uint8_t flags = record[pos++];
    layout->field_flags[std::countr_zero(present)] = flags;
    delta_count += BITS_SET[flags];
  }
  size_t scale_count = 0;
  if (decode_flags & SCALE_0_PRESENT) {
    layout->scale_flags[0] = record[pos++];
    scale_count += BITS_SET[layout->scale_flags[0]];
  }
  if (decode_flags & SCALE_1_PRESENT) {
    layout->scale_flags[1] = record[pos++];
    scale_count += BITS_SET[layout->scale_flags[1]];
  }
  for (unsigned present = sign_presence & FIELD_PRESENCE_BITS; present != 0;
       present &= present - 1) {
    layout->sign_flags[std::countr_zero(present)] = record[pos++];
  }

  layout->delta_offset = static_cast<uint32_t>(pos);
  layout->scale_offset = static_cast<uint32_t>(pos + delta_count);
  const size_t checksum_offset = pos + delta_count + scale_count;
  if (checksum_offset >= record.size()) return false;
  layout->checksum_offset = static_cast<uint32_t>(checksum_offset);
  return true;
}

}  // namespace datmend
