#include "platform/zone_rules.h"

#include <cstddef>

namespace datmend::platform {
namespace {

constexpr int64_t DAY = 86400;

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

bool is_leap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days since 1970-01-01 of a proleptic Gregorian date; month 1 to 12.
int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = floor_div(year, 400);
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct Civil {
  int64_t year;
  int month;
  int day;
};

Civil civil_from_days(int64_t days) {
  days += 719468;
  const int64_t era = floor_div(days, 146097);
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {year_of_era + era * 400 + (month <= 2), month, day};
}

int weekday_of(int64_t days) { return static_cast<int>(floor_mod(days + 4, 7)); }  // 0 = Sunday

// The day (since 1970) on which `date` falls in `year`.
int64_t day_in_year(const ZoneDate& date, int64_t year) {
  const int64_t new_year = days_from_civil(year, 1, 1);
  switch (date.kind) {
    case ZoneDate::Kind::kJulian:
      return new_year + date.day - 1 + (is_leap(year) && date.day >= 60 ? 1 : 0);
    case ZoneDate::Kind::kDayOfYear:
      return new_year + date.day;
    case ZoneDate::Kind::kFixed:
      return days_from_civil(year, date.month, date.day);
    case ZoneDate::Kind::kMonthWeekDay:
      break;
  }
  const int64_t first = days_from_civil(year, date.month, 1);
  const int64_t next_month =
      date.month == 12 ? days_from_civil(year + 1, 1, 1) : days_from_civil(year, date.month + 1, 1);
  int64_t day = first + floor_mod(date.weekday - weekday_of(first), 7) + (date.week - 1) * 7;
  while (day >= next_month) day -= 7;
  return day;
}

ZoneDate month_week_day(int month, int week, int weekday) {
  ZoneDate date;
  date.month = month;
  date.week = week;
  date.weekday = weekday;
  return date;
}

// The clock times (on clock_seconds' scale) at which daylight time starts, on the standard
// clock, and ends, on the daylight clock, in `year`.
struct Changes {
  int64_t start;
  int64_t end;
};

Changes changes_in(const ZoneRules& rules, int64_t year) {
  ZoneDate start = rules.dst_start;
  ZoneDate end = rules.dst_end;
  if (rules.us_dates) {
    start = year >= 2007 ? month_week_day(3, 2, 0) : month_week_day(4, 1, 0);
    end = year >= 2007 ? month_week_day(11, 1, 0) : month_week_day(10, 5, 0);
  }
  return {day_in_year(start, year) * DAY + start.time, day_in_year(end, year) * DAY + end.time};
}

int64_t year_of_clock(int64_t seconds) { return civil_from_days(floor_div(seconds, DAY)).year; }

// A parser over the TZ text: each step consumes what it reads and reports false on
// anything it does not understand.
struct Reader {
  std::string_view text;
  size_t at = 0;

  bool done() const { return at == text.size(); }
  char peek() const { return done() ? '\0' : text[at]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++at;
    return true;
  }
  bool number(int maximum, int* value) {
    if (!(peek() >= '0' && peek() <= '9')) return false;
    int result = 0;
    while (peek() >= '0' && peek() <= '9') {
      result = result * 10 + (text[at++] - '0');
      if (result > maximum) return false;
    }
    *value = result;
    return true;
  }
  bool name() {
    if (take('<')) {
      const size_t begin = at;
      while (!done() && peek() != '>') {
        const char c = peek();
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                             (c >= '0' && c <= '9') || c == '+' || c == '-';
        if (!allowed) return false;
        ++at;
      }
      return at - begin >= 3 && take('>');
    }
    const size_t begin = at;
    while ((peek() >= 'A' && peek() <= 'Z') || (peek() >= 'a' && peek() <= 'z')) ++at;
    return at - begin >= 3;
  }
  // [+-]hh[:mm[:ss]] in seconds.
  bool duration(int max_hours, int32_t* seconds) {
    int sign = 1;
    if (take('-')) {
      sign = -1;
    } else {
      take('+');
    }
    int hours = 0;
    int minutes = 0;
    int secs = 0;
    if (!number(max_hours, &hours)) return false;
    if (take(':')) {
      if (!number(59, &minutes)) return false;
      if (take(':') && !number(59, &secs)) return false;
    }
    *seconds = sign * (hours * 3600 + minutes * 60 + secs);
    return true;
  }
  bool date(ZoneDate* result) {
    ZoneDate date;
    if (take('M')) {
      date.kind = ZoneDate::Kind::kMonthWeekDay;
      if (!number(12, &date.month) || date.month < 1 || !take('.') || !number(5, &date.week) ||
          date.week < 1 || !take('.') || !number(6, &date.weekday)) {
        return false;
      }
    } else if (take('J')) {
      date.kind = ZoneDate::Kind::kJulian;
      if (!number(365, &date.day) || date.day < 1) return false;
    } else {
      date.kind = ZoneDate::Kind::kDayOfYear;
      if (!number(365, &date.day)) return false;
    }
    if (take('/') && !duration(167, &date.time)) return false;
    *result = date;
    return true;
  }
};

}  // namespace

std::optional<ZoneRules> parse_posix_tz(std::string_view tz) {
  Reader reader{tz};
  ZoneRules rules;
  int32_t west = 0;
  if (!reader.name() || !reader.duration(24, &west)) return std::nullopt;
  rules.std_offset = -west;
  rules.dst_offset = rules.std_offset;
  if (reader.done()) return rules;
  if (!reader.name()) return std::nullopt;
  rules.has_dst = true;
  rules.dst_offset = rules.std_offset + 3600;
  if (!reader.done() && reader.peek() != ',') {
    if (!reader.duration(24, &west)) return std::nullopt;
    rules.dst_offset = -west;
  }
  if (reader.done()) {
    rules.us_dates = true;
    return rules;
  }
  if (!reader.take(',') || !reader.date(&rules.dst_start) || !reader.take(',') ||
      !reader.date(&rules.dst_end) || !reader.done()) {
    return std::nullopt;
  }
  return rules;
}

int64_t clock_seconds(const LocalTime& local) {
  const int64_t months = int64_t{local.month} - 1;
  const int64_t year = int64_t{local.year} + floor_div(months, 12);
  const int64_t month = floor_mod(months, 12) + 1;
  const int64_t days = days_from_civil(year, month, 1) + int64_t{local.day} - 1;
  return days * DAY + int64_t{local.hour} * 3600 + int64_t{local.minute} * 60 + local.second;
}

int64_t zone_local_to_utc(const ZoneRules& rules, const LocalTime& local) {
  const int64_t clock = clock_seconds(local);
  if (!rules.has_dst) return clock - rules.std_offset;
  const Changes changes = changes_in(rules, year_of_clock(clock));
  // The skipped hour after the start and the repeated hour before the end are standard time.
  const int64_t save =
      rules.dst_offset > rules.std_offset ? rules.dst_offset - rules.std_offset : 0;
  const int64_t dst_from = changes.start + save;
  const int64_t dst_until = changes.end - save;
  const bool dst = changes.start < changes.end ? (clock >= dst_from && clock < dst_until)
                                               : !(clock >= dst_until && clock < dst_from);
  return clock - (dst ? rules.dst_offset : rules.std_offset);
}

LocalTime zone_utc_to_local(const ZoneRules& rules, int64_t calendar_time) {
  int32_t offset = rules.std_offset;
  if (rules.has_dst) {
    const Changes changes = changes_in(rules, year_of_clock(calendar_time + rules.std_offset));
    const int64_t start = changes.start - rules.std_offset;
    const int64_t end = changes.end - rules.dst_offset;
    const bool dst = start < end ? (calendar_time >= start && calendar_time < end)
                                 : !(calendar_time >= end && calendar_time < start);
    if (dst) offset = rules.dst_offset;
  }
  const int64_t clock = calendar_time + offset;
  const Civil civil = civil_from_days(floor_div(clock, DAY));
  const int64_t second_of_day = floor_mod(clock, DAY);
  LocalTime local;
  local.year = static_cast<int>(civil.year);
  local.month = civil.month;
  local.day = civil.day;
  local.hour = static_cast<int>(second_of_day / 3600);
  local.minute = static_cast<int>(second_of_day / 60 % 60);
  local.second = static_cast<int>(second_of_day % 60);
  return local;
}

}  // namespace datmend::platform
