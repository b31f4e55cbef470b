#include "csv/local_clock.h"

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace datmend {
namespace {

constexpr int64_t SECONDS_PER_DAY = 86400;
constexpr int64_t WINDOW_SECONDS = 3600;

// Days from 1970-01-01 to the given proleptic Gregorian date (month 1 to 12).
int64_t days_from_civil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// The local date and time read as if it were UTC, minus the calendar time: the zone's
// offset at that moment. Empty when the system cannot convert the time.
std::optional<int64_t> offset_at(int64_t calendar_time) {
  const std::optional<platform::LocalTime> local = platform::calendar_to_local(calendar_time);
  if (!local) return std::nullopt;
  const int64_t as_utc = days_from_civil(local->year, local->month, local->day) * SECONDS_PER_DAY +
                         local->hour * int64_t{3600} + local->minute * int64_t{60} + local->second;
  return as_utc - calendar_time;
}

void start_window(LocalClock& clock, int64_t first) {
  clock.valid = true;
  clock.window_first = first;
  clock.window_last =
      first <= INT64_MAX - (WINDOW_SECONDS - 1) ? first + (WINDOW_SECONDS - 1) : INT64_MAX;
  const std::optional<int64_t> at_first = offset_at(first);
  const std::optional<int64_t> at_last = offset_at(clock.window_last);
  clock.uniform = at_first && at_last && *at_first == *at_last;
  if (clock.uniform) {
    int64_t second = (first + *at_first) % SECONDS_PER_DAY;
    if (second < 0) second += SECONDS_PER_DAY;
    clock.first_second_of_day = static_cast<uint32_t>(second);
  }
}

}  // namespace

bool local_time_of_day_afresh(LocalClock& clock, int64_t calendar_time, TimeOfDay* time_of_day) {
  if (!clock.valid || calendar_time < clock.window_first || calendar_time > clock.window_last) {
    start_window(clock, calendar_time);
  }
  if (clock.uniform) return local_time_of_day(clock, calendar_time, time_of_day);
  // The offset changes inside this window: each row is converted on its own.
  const std::optional<platform::LocalTime> local = platform::calendar_to_local(calendar_time);
  if (!local) return false;
  *time_of_day = {local->hour, local->minute, local->second};
  return true;
}

}  // namespace datmend
