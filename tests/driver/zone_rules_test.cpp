#include "platform/zone_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace datmend::platform {
namespace {

std::string show(const LocalTime& t) {
  return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day) +
         " " + std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
         std::to_string(t.second);
}

TEST(ZoneRules, ReadsPosixValues) {
  struct Case {
    const char* tz;
    bool valid;
    int32_t std_offset;
    int32_t dst_offset;
    bool has_dst;
    bool us_dates;
  };
  const std::vector<Case> cases = {
      {"UTC0", true, 0, 0, false, false},
      {"EST5EDT", true, -18000, -14400, true, true},
      {"est+5edt", true, -18000, -14400, true, true},
      {"PST8PDT7", true, -28800, -25200, true, true},
      {"CET-1CEST,M3.5.0,M10.5.0/3", true, 3600, 7200, true, false},
      {"<+0530>-5:30", true, 19800, 19800, false, false},
      {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", true, 37800, 39600, true, false},
      {"AAA3BBB,J60/0,300/0", true, -10800, -7200, true, false},
      {"XXX-1:02:03", true, 3723, 3723, false, false},
      {"", false, 0, 0, false, false},
      {"America/New_York", false, 0, 0, false, false},
      {":EST5EDT", false, 0, 0, false, false},
      {"EST", false, 0, 0, false, false},
      {"ES5", false, 0, 0, false, false},
      {"EST5EDT,M3.2.0", false, 0, 0, false, false},
      {"EST5EDT,M13.1.0,M11.1.0", false, 0, 0, false, false},
      {"EST5EDT,M3.0.0,M11.1.0", false, 0, 0, false, false},
      {"EST5EDT,M3.2.7,M11.1.0", false, 0, 0, false, false},
      {"EST5EDT,J0,J300", false, 0, 0, false, false},
      {"EST5EDT,M3.2.0,M11.1.0x", false, 0, 0, false, false},
      {"EST25", false, 0, 0, false, false},
      {"EST5:60", false, 0, 0, false, false},
      {"<AB>5", false, 0, 0, false, false},
      {"<ABC5", false, 0, 0, false, false},
      {"EST5 EDT", false, 0, 0, false, false},
  };
  for (const Case& c : cases) {
    const std::optional<ZoneRules> rules = parse_posix_tz(c.tz);
    ASSERT_EQ(rules.has_value(), c.valid) << c.tz;
    if (!rules) continue;
    EXPECT_EQ(rules->std_offset, c.std_offset) << c.tz;
    EXPECT_EQ(rules->dst_offset, c.dst_offset) << c.tz;
    EXPECT_EQ(rules->has_dst, c.has_dst) << c.tz;
    EXPECT_EQ(rules->us_dates, c.us_dates) << c.tz;
  }
}

struct TimeCase {
  const char* tz;
  LocalTime local;
  int64_t utc;
  const char* label;
};

// Expected instants as the C library of a POSIX system gives them, except where it has no
// fixed answer: a repeated hour counts as standard time here.
const std::vector<TimeCase> LOCAL_CASES = {
    {"EST5EDT", {2024, 3, 10, 1, 59, 59}, 1710053999, "last second before the change"},
    {"EST5EDT", {2024, 3, 10, 2, 30, 0}, 1710055800, "skipped hour: standard time"},
    {"EST5EDT", {2024, 3, 10, 3, 0, 0}, 1710054000, "first second of daylight time"},
    {"EST5EDT", {2024, 11, 3, 0, 59, 59}, 1730609999, "before the repeated hour"},
    {"EST5EDT", {2024, 11, 3, 1, 30, 0}, 1730615400, "repeated hour: standard time"},
    {"EST5EDT", {2024, 11, 3, 2, 0, 0}, 1730617200, "after the change back"},
    {"EST5EDT", {2006, 3, 15, 12, 0, 0}, 1142442000, "before 2007: still standard in March"},
    {"EST5EDT", {2006, 4, 2, 3, 0, 0}, 1143961200, "before 2007: first Sunday in April"},
    {"EST5EDT", {2006, 10, 29, 0, 30, 0}, 1162096200, "before 2007: last Sunday in October"},
    {"EST5EDT", {2006, 10, 29, 3, 0, 0}, 1162108800, "before 2007: standard again"},
    {"CET-1CEST,M3.5.0,M10.5.0/3", {2024, 3, 31, 1, 59, 59}, 1711846799, "Europe, winter"},
    {"CET-1CEST,M3.5.0,M10.5.0/3", {2024, 3, 31, 3, 0, 0}, 1711846800, "Europe, spring"},
    {"CET-1CEST,M3.5.0,M10.5.0/3", {2024, 7, 1, 12, 0, 0}, 1719828000, "Europe, summer"},
    {"CET-1CEST,M3.5.0,M10.5.0/3", {2024, 10, 27, 2, 30, 0}, 1729992600, "Europe, repeated"},
    {"CET-1CEST,M3.5.0,M10.5.0/3", {2024, 10, 27, 3, 0, 0}, 1729994400, "Europe, autumn"},
    {"AEST-10AEDT,M10.1.0,M4.1.0/3", {2024, 1, 15, 12, 0, 0}, 1705280400, "south, summer"},
    {"AEST-10AEDT,M10.1.0,M4.1.0/3", {2024, 7, 15, 12, 0, 0}, 1721008800, "south, winter"},
    {"AEST-10AEDT,M10.1.0,M4.1.0/3", {2024, 4, 7, 2, 30, 0}, 1712421000, "south, repeated"},
    {"AEST-10AEDT,M10.1.0,M4.1.0/3", {2024, 10, 6, 2, 30, 0}, 1728145800, "south, skipped"},
    {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", {2024, 1, 15, 12, 0, 0}, 1705280400, "half hour"},
    {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", {2024, 7, 15, 12, 0, 0}, 1721007000, "half hour"},
    {"AAA3BBB,J60/0,300/0", {2024, 2, 29, 12, 0, 0}, 1709218800, "J60 skips February 29"},
    {"AAA3BBB,J60/0,300/0", {2024, 3, 1, 12, 0, 0}, 1709301600, "J60 is March 1"},
    {"AAA3BBB,J60/0,300/0", {2023, 3, 1, 12, 0, 0}, 1677679200, "J60 in a common year"},
    {"AAA3BBB,J60/0,300/0", {2024, 10, 26, 12, 0, 0}, 1729951200, "day 300 counts February 29"},
    {"AAA3BBB,J60/0,300/0", {2024, 10, 27, 12, 0, 0}, 1730041200, "after day 300"},
    {"UTC0", {2021, 0, 1, 0, 0, 0}, 1606780800, "month 0 is December before"},
    {"UTC0", {2021, 13, 1, 0, 0, 0}, 1640995200, "month 13 is January after"},
    {"UTC0", {2021, 3, 0, 24, 0, 0}, 1614556800, "day 0 and hour 24"},
    {"UTC0", {2021, 1, 1, 0, -1, 0}, 1609459140, "minute -1"},
    {"UTC0", {2021, 1, 1, 0, 0, -1}, 1609459199, "second -1"},
    {"UTC0", {1965, 5, 20, 14, 10, 30}, -145705770, "before 1970"},
};

TEST(ZoneRules, LocalToUtc) {
  for (const TimeCase& c : LOCAL_CASES) {
    const std::optional<ZoneRules> rules = parse_posix_tz(c.tz);
    ASSERT_TRUE(rules.has_value()) << c.tz;
    EXPECT_EQ(zone_local_to_utc(*rules, c.local), c.utc) << c.tz << ": " << c.label;
  }
}

TEST(ZoneRules, UtcToLocal) {
  const std::vector<TimeCase> cases = {
      {"EST5EDT", {2024, 3, 10, 1, 59, 59}, 1710053999, "spring, before"},
      {"EST5EDT", {2024, 3, 10, 3, 0, 0}, 1710054000, "spring, after"},
      {"EST5EDT", {2024, 11, 3, 1, 59, 59}, 1730613599, "autumn, before"},
      {"EST5EDT", {2024, 11, 3, 1, 0, 0}, 1730613600, "autumn, after"},
      {"EST5EDT", {2006, 4, 2, 1, 59, 59}, 1143961199, "2006 spring, before"},
      {"EST5EDT", {2006, 4, 2, 3, 0, 0}, 1143961200, "2006 spring, after"},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", {2024, 4, 7, 2, 59, 59}, 1712419199, "south, before"},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", {2024, 4, 7, 2, 0, 0}, 1712419200, "south, after"},
      {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", {2024, 4, 7, 1, 59, 59}, 1712415599, "half, before"},
      {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", {2024, 4, 7, 1, 30, 0}, 1712415600, "half, after"},
      {"UTC0", {1969, 12, 31, 23, 59, 59}, -1, "before 1970"},
      {"UTC0", {2000, 2, 29, 0, 0, 0}, 951782400, "leap day"},
  };
  for (const TimeCase& c : cases) {
    const std::optional<ZoneRules> rules = parse_posix_tz(c.tz);
    ASSERT_TRUE(rules.has_value()) << c.tz;
    EXPECT_EQ(show(zone_utc_to_local(*rules, c.utc)), show(c.local)) << c.tz << ": " << c.label;
  }
}

// Every second of a day with a change maps back to itself through the local clock.
TEST(ZoneRules, RoundTripAcrossChanges) {
  for (const char* tz : {"EST5EDT", "CET-1CEST,M3.5.0,M10.5.0/3", "AEST-10AEDT,M10.1.0,M4.1.0/3",
                         "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0"}) {
    const ZoneRules rules = *parse_posix_tz(tz);
    for (const int64_t day :
         {1710028800, 1730592000, 1711843200, 1729987200, 1712361600, 1728086400}) {
      for (int64_t t = day - 86400; t < day + 2 * 86400; t += 7) {
        const LocalTime local = zone_utc_to_local(rules, t);
        const int64_t back = zone_local_to_utc(rules, local);
        const int64_t save = rules.dst_offset - rules.std_offset;
        // A repeated clock time comes back as its standard-time instant.
        if (back != t) {
          EXPECT_EQ(back, t + save) << tz << " at " << t << " " << show(local);
        }
      }
    }
  }
}

}  // namespace
}  // namespace datmend::platform
