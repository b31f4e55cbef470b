#include "flight/flight_header.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "flight/checksum.h"
#include "header/file_state.h"
#include "support/data_builder.h"

namespace datmend {
namespace {

using Bytes = std::array<uint8_t, FLIGHT_HEADER_BYTES>;

TEST(FlightHeader, FieldsFromBytes) {
  struct Case {
    const char* label;
    Bytes bytes;
    FlightHeader expected;
  };
  const Case cases[] = {
      {"flight 7", {0x00, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {7, 0, 0, 0, 0, 0}},
      {"flags low half at offset 2",
       {0, 0, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0, 0x00001234, 0, 0, 0, 0}},
      {"flags high half at offset 4",
       {0, 0, 0, 0, 0x56, 0x78, 0, 0, 0, 0, 0, 0, 0, 0},
       {0, 0x56780000, 0, 0, 0, 0}},
      {"every byte distinct",
       {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E},
       {0x0102, 0x05060304, 0x0708, 0x090A, 0x0B0C, 0x0D0E}},
      // Words with the high bit set stay unsigned; no sign spreads into the flags.
      {"high bits set",
       {0xFF, 0xFE, 0x80, 0x00, 0x80, 0x01, 0x80, 0x20, 0x80, 0x00, 0xFF, 0xFF, 0xF7, 0x9F},
       {0xFFFE, 0x80018000, 0x8020, 0x8000, 0xFFFF, 0xF79F}},
      {"all ones",
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       {0xFFFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
  };
  for (const Case& c : cases) {
    const FlightHeader header = read_flight_header(c.bytes);
    EXPECT_EQ(header.flight_number, c.expected.flight_number) << c.label;
    EXPECT_EQ(header.flags, c.expected.flags) << c.label;
    EXPECT_EQ(header.unit_flags, c.expected.unit_flags) << c.label;
    EXPECT_EQ(header.interval, c.expected.interval) << c.label;
    EXPECT_EQ(header.date, c.expected.date) << c.label;
    EXPECT_EQ(header.time, c.expected.time) << c.label;
  }
}

// A header written by the builder reads back as written, and its checksum byte at offset
// 14 passes in either form.
TEST(FlightHeader, BuilderRegionReadsBack) {
  testdata::FlightSpec flight;
  flight.flight_number = 513;
  flight.flags = 0xC803FFFD;
  flight.unit_flags = 0x0020;
  flight.interval = 512;
  flight.date = testdata::pack_date(21, 8, 17);
  flight.time = testdata::pack_time(13, 45, 58);
  for (const testdata::ChecksumForm form :
       {testdata::ChecksumForm::kXor, testdata::ChecksumForm::kSum}) {
    flight.form = form;
    const std::vector<uint8_t> region = testdata::encode_flight(flight);
    ASSERT_GE(region.size(), FLIGHT_HEADER_SIZE);
    const std::span<const uint8_t, FLIGHT_HEADER_BYTES> bytes(region.data(), FLIGHT_HEADER_BYTES);
    const FlightHeader header = read_flight_header(bytes);
    EXPECT_EQ(header.flight_number, 513);
    EXPECT_EQ(header.flags, 0xC803FFFDu);
    EXPECT_EQ(header.unit_flags, 0x0020);
    EXPECT_EQ(header.interval, 512);
    EXPECT_EQ(header.date, flight.date);
    EXPECT_EQ(header.time, flight.time);
    FileState state;
    EXPECT_TRUE(verify_record_checksum(state, bytes, region[FLIGHT_HEADER_BYTES]));
  }
}

}  // namespace
}  // namespace datmend
