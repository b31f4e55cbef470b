// Local time by explicit zone rules: the two offsets of a zone and the dates on which
// daylight-saving time starts and ends, as a POSIX TZ value writes them ("EST5EDT",
// "CET-1CEST,M3.5.0,M10.5.0/3") or as Windows reports its zone setting. The Windows layer
// converts with these rules itself, so that a TZ value means the same there as on POSIX
// systems whatever the C runtime makes of it.
#ifndef DATMEND_PLATFORM_ZONE_RULES_H_
#define DATMEND_PLATFORM_ZONE_RULES_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/platform.h"

namespace datmend::platform {

// A day of the year on which the clock changes, and the local time of day of the change
// (on the clock that is in effect before it).
struct ZoneDate {
  enum class Kind : uint8_t {
    kMonthWeekDay,  // "Mm.w.d": weekday d (0 = Sunday) of week w (5 = the last) of month m
    kJulian,        // "Jn": day n of 1 to 365; February 29 is never counted
    kDayOfYear,     // "n": day n of 0 to 365, February 29 counted
    kFixed,         // month and day of the month
  };
  Kind kind = Kind::kMonthWeekDay;
  int month = 1;
  int week = 1;
  int weekday = 0;
  int day = 0;
  int32_t time = 7200;  // seconds after midnight; may be negative or beyond one day
};

struct ZoneRules {
  int32_t std_offset = 0;  // seconds east of UTC
  int32_t dst_offset = 0;  // seconds east of UTC while daylight time is in effect
  bool has_dst = false;
  // Daylight time without dates: the United States rules of each year (from 2007 the
  // second Sunday in March to the first Sunday in November, before that the first Sunday
  // in April to the last Sunday in October, at 2:00), as the Windows C runtime assumes.
  bool us_dates = false;
  ZoneDate dst_start;
  ZoneDate dst_end;
};

// Reads a TZ value of the POSIX form: std offset [dst [offset] [,start[/time],end[/time]]].
// Names are three or more letters or "<...>"; offsets are [+-]hh[:mm[:ss]] west of UTC.
// Empty for anything else (a zone file name such as "America/New_York", a leading ":").
std::optional<ZoneRules> parse_posix_tz(std::string_view tz);

// The seconds since 1970-01-01 00:00 of a date and time on a clock without zone, its
// fields carried over as in calendar arithmetic (month 13 is January of the next year).
int64_t clock_seconds(const LocalTime& local);

// The calendar time of a local date and time. A time that the change to daylight time
// skips, and one that the change back repeats, count as standard time.
int64_t zone_local_to_utc(const ZoneRules& rules, const LocalTime& local);

// The local date and time of a calendar time; the caller keeps it to years that an int
// holds (the Windows layer allows 1970 to 3000).
LocalTime zone_utc_to_local(const ZoneRules& rules, int64_t calendar_time);

}  // namespace datmend::platform

#endif  // DATMEND_PLATFORM_ZONE_RULES_H_
