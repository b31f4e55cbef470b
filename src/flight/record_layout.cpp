#include "flight/record_layout.h"

#include <bit>

namespace datmend {

bool read_record_layout(std::span<const uint8_t> record, RecordLayout* layout) {
  *layout = RecordLayout{};
  layout->decode_flags = record[0];
  layout->sign_presence = record[1];
  layout->repeat_count = record[2];

  size_t pos = RECORD_FIXED_BYTES;
  // Reads the flag bytes whose presence bits are set, in ascending order.
  auto read_present = [&](uint8_t presence, int first_bit, uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      if ((presence >> (first_bit + static_cast<int>(i))) & 1) {
        if (pos >= record.size()) return false;
        out[i] = record[pos++];
      }
    }
    return true;
  };
  if (!read_present(layout->decode_flags, 0, layout->field_flags.data(), FIELD_FLAG_BYTES) ||
      !read_present(layout->decode_flags, 6, layout->scale_flags.data(), SCALE_FLAG_BYTES) ||
      !read_present(layout->sign_presence, 0, layout->sign_flags.data(), SIGN_FLAG_BYTES)) {
    return false;
  }

  size_t delta_count = 0;
  for (uint8_t byte : layout->field_flags) delta_count += std::popcount(byte);
  size_t scale_count = 0;
  for (uint8_t byte : layout->scale_flags) scale_count += std::popcount(byte);

  layout->delta_offset = static_cast<uint32_t>(pos);
  layout->scale_offset = static_cast<uint32_t>(pos + delta_count);
  const size_t checksum_offset = pos + delta_count + scale_count;
  if (checksum_offset >= record.size()) return false;
  layout->checksum_offset = static_cast<uint32_t>(checksum_offset);
  return true;
}

}  // namespace datmend
