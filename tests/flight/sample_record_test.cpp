#include "flight/sample_record.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace datmend {
namespace {

// A record left over from an earlier flight, so that reset must clear every field.
SampleRecord dirty_sample() {
  SampleRecord sample;
  for (int slot = 0; slot < VALUE_SLOTS; ++slot) sample.values[slot] = static_cast<int16_t>(-slot);
  sample.dif = {-32768, 77};
  sample.na_bits.fill(0xFF);
  return sample;
}

TEST(SampleRecord, StartStatePerModel) {
  struct Case {
    const char* label;
    uint16_t model;
    int16_t hp_and_rpm_high;  // slots 30 and 42
  };
  const Case cases[] = {
      {"single-engine 700", 700, 0},
      {"model 0 (no config record)", 0, 0},
      {"model 761", 761, 0},
      {"twin 760", TWIN_MODEL, 240},
  };
  for (const Case& c : cases) {
    SampleRecord sample = dirty_sample();
    reset_sample(sample, c.model);
    for (int slot = 0; slot < VALUE_SLOTS; ++slot) {
      const int16_t expected = (slot == 30 || slot == 42) ? c.hp_and_rpm_high : 240;
      EXPECT_EQ(sample.values[slot], expected) << c.label << ", slot " << slot;
    }
    EXPECT_EQ(sample.dif[0], 0) << c.label;
    EXPECT_EQ(sample.dif[1], 0) << c.label;
    for (int slot = 0; slot < VALUE_SLOTS; ++slot) {
      EXPECT_FALSE(test_bit(sample.na_bits.data(), slot)) << c.label << ", slot " << slot;
    }
  }
}

}  // namespace
}  // namespace datmend
