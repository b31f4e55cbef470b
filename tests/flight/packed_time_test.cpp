#include "flight/packed_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "support/time_zones.h"

namespace datmend {
namespace {

constexpr uint16_t date_word(int year_field, int month, int day) {
  return static_cast<uint16_t>((year_field << 9) | (month << 5) | day);
}
constexpr uint16_t time_word(int hour, int minute, int half_seconds) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | half_seconds);
}

// Sets TZ for one test and puts the old setting back afterwards.
class PackedTimeTest : public ::testing::Test {
 private:
  testing::ScopedTimeZone zone_;
};

TEST(UnpackDateTime, FieldsAsStored) {
  struct Case {
    const char* label;
    uint16_t time;
    uint16_t date;
    platform::LocalTime expected;
  };
  const Case cases[] = {
      {"zero words", 0x0000, 0x0000, {2000, 0, 0, 0, 0, 0}},
      {"all ones", 0xFFFF, 0xFFFF, {2027, 15, 31, 31, 63, 62}},
      // 13:45:58 on 17 August of year field 21.
      {"ordinary", 0x6DBD, 0x2B11, {2021, 8, 17, 13, 45, 58}},
      {"year field 49", 0x0000, 0x6221, {2049, 1, 1, 0, 0, 0}},
      {"year field 50", 0x0000, 0x6421, {1950, 1, 1, 0, 0, 0}},
      {"year field 99", 0x0000, 0xC621, {1999, 1, 1, 0, 0, 0}},
      {"year field 100", 0x0000, 0xC821, {2000, 1, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const platform::LocalTime local = unpack_date_time(c.time, c.date);
    EXPECT_EQ(local.year, c.expected.year) << c.label;
    EXPECT_EQ(local.month, c.expected.month) << c.label;
    EXPECT_EQ(local.day, c.expected.day) << c.label;
    EXPECT_EQ(local.hour, c.expected.hour) << c.label;
    EXPECT_EQ(local.minute, c.expected.minute) << c.label;
    EXPECT_EQ(local.second, c.expected.second) << c.label;
  }
}

struct TimeCase {
  const char* label;
  uint16_t time;
  uint16_t date;
  int64_t utc;       // the calendar time with TZ "UTC0"
  int64_t new_york;  // the calendar time in New York (EST, or EDT in summer)
  // Before 1970, or on a date where the US daylight-saving rules before and since 2007
  // differ: the Windows C runtime converts these differently or not at all.
  bool posix_only;
};

// The expected values come from the epoch (2000-01-01 00:00 UTC is 946684800) and the
// zone's offsets, -5 hours in winter and -4 in summer.
const TimeCase kTimeCases[] = {
    {"2000-01-01 00:00", time_word(0, 0, 0), date_word(0, 1, 1), 946684800, 946702800, false},
    {"year 49: 2049-12-31 23:59:58", time_word(23, 59, 29), date_word(49, 12, 31), 2524607998,
     2524625998, false},
    {"year 100 is 2000", time_word(0, 0, 0), date_word(100, 1, 1), 946684800, 946702800, false},
    {"year 127 is 2027 (summer)", time_word(0, 0, 0), date_word(127, 6, 1), 1811808000, 1811822400,
     false},
    {"month 0: 2009-12-15 12:00", time_word(12, 0, 0), date_word(10, 0, 15), 1260878400, 1260896400,
     false},
    {"month 13: 2011-01-15 12:00", time_word(12, 0, 0), date_word(10, 13, 15), 1295092800,
     1295110800, false},
    {"month 15: 2011-03-15 12:00, daylight time", time_word(12, 0, 0), date_word(10, 15, 15),
     1300190400, 1300204800, true},
    {"day 0: 2010-02-28 12:00", time_word(12, 0, 0), date_word(10, 3, 0), 1267358400, 1267376400,
     false},
    {"day 31 of April: 2010-05-01 12:00", time_word(12, 0, 0), date_word(10, 4, 31), 1272715200,
     1272729600, false},
    {"hour 24: 2010-07-01 00:00", time_word(24, 0, 0), date_word(10, 6, 30), 1277942400, 1277956800,
     false},
    {"hour 31: 2010-01-02 07:00", time_word(31, 0, 0), date_word(10, 1, 1), 1262415600, 1262433600,
     false},
    {"minute 60: 11:00", time_word(10, 60, 0), date_word(10, 1, 1), 1262343600, 1262361600, false},
    {"minute 63: 11:03", time_word(10, 63, 0), date_word(10, 1, 1), 1262343780, 1262361780, false},
    {"second 60: 11:00:00", time_word(10, 59, 30), date_word(10, 1, 1), 1262343600, 1262361600,
     false},
    {"second 62: 11:00:02", time_word(10, 59, 31), date_word(10, 1, 1), 1262343602, 1262361602,
     false},
    {"summer: 2015-07-04 12:30", time_word(12, 30, 0), date_word(15, 7, 4), 1436013000, 1436027400,
     false},
    {"winter: 2015-01-15 08:00", time_word(8, 0, 0), date_word(15, 1, 15), 1421308800, 1421326800,
     false},
    {"zero words: 1999-11-30 00:00", 0x0000, 0x0000, 943920000, 943938000, false},
    {"all ones: 2028-04-01 08:04:02", 0xFFFF, 0xFFFF, 1838189042, 1838203442, true},
    {"year 50: 1950-01-01 00:00", time_word(0, 0, 0), date_word(50, 1, 1), -631152000, -631134000,
     true},
    {"1965-05-20 14:10:30, daylight time", time_word(14, 10, 15), date_word(65, 5, 20), -145705770,
     -145691370, true},
    {"1969-12-31 23:59:58", time_word(23, 59, 29), date_word(69, 12, 31), -2, 17998, true},
};

#ifdef _WIN32
constexpr const char* kNewYork = "EST5EDT";
constexpr bool kPosix = false;
#else
constexpr const char* kNewYork = "America/New_York";
constexpr bool kPosix = true;
#endif

TEST_F(PackedTimeTest, Utc) {
  testing::set_time_zone("UTC0");
  for (const TimeCase& c : kTimeCases) {
    if (c.posix_only && !kPosix) continue;
    EXPECT_EQ(packed_to_time(c.time, c.date), std::optional<int64_t>(c.utc)) << c.label;
  }
}

TEST_F(PackedTimeTest, NewYork) {
  testing::set_time_zone(kNewYork);
  for (const TimeCase& c : kTimeCases) {
    if (c.posix_only && !kPosix) continue;
    EXPECT_EQ(packed_to_time(c.time, c.date), std::optional<int64_t>(c.new_york)) << c.label;
  }
}

#ifdef _WIN32
// The Windows C runtime has no calendar time before 1970: such a start is reported empty,
// never as a wrong time.
TEST_F(PackedTimeTest, BeforeNineteenSeventyIsEmptyOnWindows) {
  testing::set_time_zone("UTC0");
  EXPECT_EQ(packed_to_time(time_word(0, 0, 0), date_word(50, 1, 1)), std::nullopt);
}
#endif

}  // namespace
}  // namespace datmend
