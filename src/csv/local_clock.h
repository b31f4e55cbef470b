// The local time of day of a flight's row times, without a full time-zone conversion per
// row. The zone's offset from UTC is taken from two conversions at the ends of an hour of
// calendar time; when both agree, every row inside that hour is the row time plus that
// offset. An hour whose ends disagree (a daylight-saving change inside it) has each of its
// rows converted on its own, so the rows print the local clock across the change.
#ifndef DATMEND_CSV_LOCAL_CLOCK_H_
#define DATMEND_CSV_LOCAL_CLOCK_H_

#include <cstdint>

namespace datmend {

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

struct LocalClock {
  bool valid = false;    // a window is set up
  bool uniform = false;  // the offset is the same over the whole window
  int64_t window_first = 0;
  int64_t window_last = 0;           // inclusive, less than a day after window_first
  uint32_t first_second_of_day = 0;  // local time of day of window_first, when uniform
};

// Forgets the cached window; the next call converts afresh (after a change of time zone).
inline void reset_local_clock(LocalClock& clock) { clock.valid = false; }

// Sets up the window of `calendar_time` and converts it; false when the system cannot.
bool local_time_of_day_afresh(LocalClock& clock, int64_t calendar_time, TimeOfDay* time_of_day);

// The local time of day of `calendar_time`; false when the system cannot convert it.
inline bool local_time_of_day(LocalClock& clock, int64_t calendar_time, TimeOfDay* time_of_day) {
  if (!clock.valid || !clock.uniform || calendar_time < clock.window_first ||
      calendar_time > clock.window_last) {
    return local_time_of_day_afresh(clock, calendar_time, time_of_day);
  }
  uint32_t second =
      clock.first_second_of_day + static_cast<uint32_t>(calendar_time - clock.window_first);
  if (second >= 86400) second -= 86400;
  time_of_day->hour = static_cast<int>(second / 3600);
  time_of_day->minute = static_cast<int>(second / 60 % 60);
  time_of_day->second = static_cast<int>(second % 60);
  return true;
}

}  // namespace datmend

#endif  // DATMEND_CSV_LOCAL_CLOCK_H_
