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
  int64_t window_last = 0;  // inclusive
  int64_t offset = 0;       // local minus UTC seconds, when uniform
};

// Forgets the cached window; the next call converts afresh (after a change of time zone).
inline void reset_local_clock(LocalClock& clock) { clock.valid = false; }

// The local time of day of `calendar_time`; false when the system cannot convert it.
bool local_time_of_day(LocalClock& clock, int64_t calendar_time, TimeOfDay* time_of_day);

}  // namespace datmend

#endif  // DATMEND_CSV_LOCAL_CLOCK_H_
