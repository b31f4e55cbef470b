#include "flight/record_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/data_builder.h"

namespace datmend {
namespace {

using testdata::ChecksumForm;
using testdata::RecordSpec;

TEST(RecordLayout, ShortestRecordHasOnlyTheChecksum) {
  const std::vector<uint8_t> bytes = {0, 0, 5, 0};
  RecordLayout layout;
  ASSERT_TRUE(read_record_layout(bytes, &layout));
  EXPECT_EQ(layout.repeat_count, 5);
  EXPECT_EQ(layout.checksum_offset, 3u);
}

TEST(RecordLayout, WorkedExample) {
  // Field-flag byte 0 present, slots 0 and 1, deltas 5 and 0, XOR checksum 0x07.
  const std::vector<uint8_t> bytes = {0x01, 0x00, 0x00, 0x03, 0x05, 0x00, 0x07};
  RecordLayout layout;
  ASSERT_TRUE(read_record_layout(bytes, &layout));
  EXPECT_EQ(layout.field_flags[0], 0x03);
  EXPECT_EQ(layout.delta_offset, 4u);
  EXPECT_EQ(layout.scale_offset, 6u);
  EXPECT_EQ(layout.checksum_offset, 6u);
}

TEST(RecordLayout, EveryFlagByteAndCount) {
  RecordSpec record;
  for (int slot = 0; slot < 48; ++slot) record.delta(slot, 1, slot % 2 == 1);
  for (int slot : {0, 7, 24, 31}) record.scale(slot, 2);
  const std::vector<uint8_t> bytes = testdata::encode_record(record, ChecksumForm::kSum);
  RecordLayout layout;
  ASSERT_TRUE(read_record_layout(bytes, &layout));
  EXPECT_EQ(layout.delta_offset, 3u + 6 + 2 + 6);
  EXPECT_EQ(layout.scale_offset, layout.delta_offset + 48);
  EXPECT_EQ(layout.checksum_offset, layout.scale_offset + 4);
  EXPECT_EQ(bytes.size(), layout.checksum_offset + 1u);
  EXPECT_EQ(layout.sign_flags[5], 0xAA);
  EXPECT_EQ(layout.scale_flags[1], 0x81);
}

// Every cut of a valid record must be refused without reading past the cut.
TEST(RecordLayout, EveryTruncationIsRefused) {
  RecordSpec record;
  record.delta(3, 9).delta(40, 2, true).scale(25, 1);
  const std::vector<uint8_t> bytes = testdata::encode_record(record, ChecksumForm::kXor);
  for (size_t size = 3; size < bytes.size(); ++size) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
    RecordLayout layout;
    EXPECT_FALSE(read_record_layout(cut, &layout)) << "size " << size;
  }
  RecordLayout layout;
  EXPECT_TRUE(read_record_layout(bytes, &layout));
}

}  // namespace
}  // namespace datmend
