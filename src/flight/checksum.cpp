#include "flight/checksum.h"

#include "header/file_state.h"

namespace datmend {

uint8_t xor_bytes(std::span<const uint8_t> bytes) {
  uint8_t result = 0;
  for (const uint8_t byte : bytes) result ^= byte;
  return result;
}

uint8_t sum_bytes(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (const uint8_t byte : bytes) sum = static_cast<uint8_t>(sum + byte);
  return static_cast<uint8_t>(0u - sum);
}

bool verify_record_checksum(const FileState& state, std::span<const uint8_t> bytes,
                            uint8_t checksum) {
  // The form the file should carry is tried first, so a sound record costs one pass; the
  // other form is accepted as well, which keeps mixed files readable.
  if (state.config.firmware_version < state.legacy_threshold) {
    return xor_bytes(bytes) == checksum || sum_bytes(bytes) == checksum;
  }
  return sum_bytes(bytes) == checksum || xor_bytes(bytes) == checksum;
}

}  // namespace datmend
