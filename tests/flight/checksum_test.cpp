#include "flight/checksum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "header/file_state.h"
#include "support/data_builder.h"

namespace datmend {
namespace {

using testdata::ChecksumForm;

struct Version {
  const char* label;
  uint16_t firmware_version;
  uint16_t legacy_threshold;
};

// Every file state the checksum rule can meet: the older format, the version at the
// threshold (newer), the newer format, no "$C" record (both 0, newer), and a version with
// the high bit set, which is newer when compared unsigned.
const Version kVersions[] = {
    {"older", 299, 300},        {"at threshold", 300, 300},      {"newer", 301, 300},
    {"no config record", 0, 0}, {"high-bit version", 0x8000, 1},
};

FileState state_for(const Version& version) {
  FileState state;
  state.config.firmware_version = version.firmware_version;
  state.legacy_threshold = version.legacy_threshold;
  return state;
}

// The byte values that verify_record_checksum accepts for `bytes`, over all 256.
std::vector<int> accepted_bytes(const FileState& state, const std::vector<uint8_t>& bytes) {
  std::vector<int> accepted;
  for (int value = 0; value < 256; ++value) {
    if (verify_record_checksum(state, bytes, static_cast<uint8_t>(value))) {
      accepted.push_back(value);
    }
  }
  return accepted;
}

TEST(Checksum, FormsOfKnownRuns) {
  struct Case {
    const char* label;
    std::vector<uint8_t> bytes;
    uint8_t xor_form;
    uint8_t sum_form;
  };
  const std::vector<Case> cases = {
      {"abc", {0x61, 0x62, 0x63}, 0x60, 0xDA},
      {"single 0x80", {0x80}, 0x80, 0x80},
      {"empty", {}, 0x00, 0x00},
      {"single 0x01", {0x01}, 0x01, 0xFF},
      {"sum wraps to 0", {0xFF, 0x01}, 0xFE, 0x00},
      {"decode example", {0x01, 0x00, 0x00, 0x03, 0x05, 0x00}, 0x07, 0xF7},
      {"256 ones", std::vector<uint8_t>(256, 0x01), 0x00, 0x00},
      {"257 ones", std::vector<uint8_t>(257, 0x01), 0x01, 0xFF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xor_bytes(c.bytes), c.xor_form) << c.label;
    EXPECT_EQ(sum_bytes(c.bytes), c.sum_form) << c.label;
  }
}

// The builder forms its checksums on its own; long runs of every byte value must agree.
TEST(Checksum, AgreesWithTheBuilderOnLongRuns) {
  std::vector<uint8_t> bytes;
  uint32_t seed = 12345;
  for (int i = 0; i < 4099; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(static_cast<uint8_t>(seed >> 16));
  }
  for (size_t size : {size_t{2}, size_t{15}, size_t{255}, size_t{1000}, bytes.size()}) {
    const std::span<const uint8_t> run(bytes.data(), size);
    EXPECT_EQ(xor_bytes(run), testdata::checksum_of(bytes.data(), size, ChecksumForm::kXor))
        << size;
    EXPECT_EQ(sum_bytes(run), testdata::checksum_of(bytes.data(), size, ChecksumForm::kSum))
        << size;
  }
}

// The sum form makes the run and its checksum add up to 0 modulo 256.
TEST(Checksum, SumFormCompletesTheRunToZero) {
  std::vector<uint8_t> bytes = {0x12, 0xF0, 0x7F, 0x80, 0x33};
  bytes.push_back(sum_bytes(bytes));
  unsigned total = 0;
  for (const uint8_t byte : bytes) total += byte;
  EXPECT_EQ(total % 256, 0u);
}

TEST(Checksum, ExactlyTheTwoFormsAreAcceptedInEveryFile) {
  struct Case {
    const char* label;
    std::vector<uint8_t> bytes;
    std::vector<int> accepted;
  };
  const std::vector<Case> cases = {
      {"abc", {0x61, 0x62, 0x63}, {0x60, 0xDA}},
      // Both forms coincide: only that one value passes.
      {"single 0x80", {0x80}, {0x80}},
      {"empty", {}, {0x00}},
      {"shortest record", {0x00, 0x00, 0x05}, {0x05, 0xFB}},
  };
  for (const Version& version : kVersions) {
    const FileState state = state_for(version);
    for (const Case& c : cases) {
      EXPECT_EQ(accepted_bytes(state, c.bytes), c.accepted) << version.label << ", " << c.label;
    }
  }
}

// A whole record from the builder, checked in the form of the other format.
TEST(Checksum, EachFormatAcceptsTheOtherFormOnARecord) {
  testdata::RecordSpec record;
  record.delta(0, 5).delta(3, 0).delta(41, 0x10, true).scale(24, 2);
  for (const ChecksumForm form : {ChecksumForm::kXor, ChecksumForm::kSum}) {
    const std::vector<uint8_t> bytes = testdata::encode_record(record, form);
    const std::span<const uint8_t> covered(bytes.data(), bytes.size() - 1);
    for (const Version& version : kVersions) {
      const FileState state = state_for(version);
      EXPECT_TRUE(verify_record_checksum(state, covered, bytes.back()))
          << version.label << ", form " << static_cast<int>(form);
      EXPECT_FALSE(verify_record_checksum(state, covered, static_cast<uint8_t>(bytes.back() ^ 1)))
          << version.label << ", form " << static_cast<int>(form);
    }
  }
}

}  // namespace
}  // namespace datmend
