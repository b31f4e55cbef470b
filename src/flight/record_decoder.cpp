#include "flight/record_decoder.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace datmend {
namespace {

// A flag set of up to 8 bytes as one integer: bit n is bit (n mod 8) of byte (n div 8),
// the numbering of test_bit, which on a little-endian machine is the integer's own order.
template <size_t N>
uint64_t load_bits(const std::array<uint8_t, N>& bytes) {
  static_assert(N <= sizeof(uint64_t));
  uint64_t bits = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&bits, bytes.data(), N);
  } else {
    for (size_t i = 0; i < N; ++i) bits |= uint64_t{bytes[i]} << (8 * i);
  }
  return bits;
}

template <size_t N>
void store_bits(std::array<uint8_t, N>& bytes, uint64_t bits) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(bytes.data(), &bits, N);
  } else {
    for (size_t i = 0; i < N; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
}

// Slot values wrap modulo 65536. `subtract` is 0 or 1; the negation needs no branch.
int16_t add_wrapped(int16_t value, uint32_t amount, uint32_t subtract) {
  const uint32_t signed_amount = (amount ^ (0u - subtract)) + subtract;
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint16_t>(value) + signed_amount));
}

}  // namespace

void apply_record(SampleRecord& sample, std::span<const uint8_t> record, const RecordLayout& layout,
                  uint16_t model) {
  const uint64_t signs = load_bits(layout.sign_flags);
  uint64_t na = load_bits(sample.na_bits);

  // Delta bytes, one per set field flag, in ascending slot order.
  const std::span<const uint8_t> deltas =
      record.subspan(layout.delta_offset, layout.scale_offset - layout.delta_offset);
  const uint64_t fields = load_bits(layout.field_flags);
  uint64_t zero_deltas = 0;
  size_t next = 0;
  for (uint64_t left = fields; left != 0; left &= left - 1) {
    const int slot = std::countr_zero(left);
    const uint8_t delta = deltas[next++];
    zero_deltas |= uint64_t{delta == 0} << slot;
    sample.values[slot] =
        add_wrapped(sample.values[slot], delta, static_cast<uint32_t>(signs >> slot) & 1);
  }
  // Every slot with a delta byte is available exactly when its byte was not zero.
  na = (na & ~fields) | zero_deltas;

  // Scale bytes in units of 256: scale-flag byte 0 covers slots 0-7, byte 1 slots 24-31.
  const std::span<const uint8_t> scales =
      record.subspan(layout.scale_offset, layout.checksum_offset - layout.scale_offset);
  next = 0;
  uint64_t scaled =
      uint64_t{layout.scale_flags[0]} | (uint64_t{layout.scale_flags[1]} << SCALE_BYTE_STRIDE);
  for (; scaled != 0; scaled &= scaled - 1) {
    const int slot = std::countr_zero(scaled);
    const uint8_t scale = scales[next++];
    if (scale == 0) continue;
    na &= ~(uint64_t{1} << slot);
    sample.values[slot] = add_wrapped(sample.values[slot], uint32_t{scale} << 8,
                                      static_cast<uint32_t>(signs >> slot) & 1);
  }

  // On the twin, slot 42 is a value of the second engine, not the RPM high byte.
  if (model != TWIN_MODEL) {
    int16_t& high = sample.values[RPM_HIGH_SLOT];
    if ((signs >> RPM_SLOT) & 1) high = add_wrapped(0, static_cast<uint16_t>(high), 1);
    if (high != 0) na &= ~(uint64_t{1} << RPM_SLOT);
  }
  store_bits(sample.na_bits, na);
}

}  // namespace datmend
