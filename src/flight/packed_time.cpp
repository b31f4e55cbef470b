#include "flight/packed_time.h"

namespace datmend {

platform::LocalTime unpack_date_time(uint16_t time, uint16_t date) {
  platform::LocalTime local;
  local.second = 2 * (time & 0x1F);
  local.minute = (time >> 5) & 0x3F;
  local.hour = (time >> 11) & 0x1F;
  local.day = date & 0x1F;
  local.month = (date >> 5) & 0x0F;
  const int year = (date >> 9) & 0x7F;
  local.year = year < 50 ? 2000 + year : 1900 + year;
  return local;
}

std::optional<int64_t> packed_to_time(uint16_t time, uint16_t date) {
  // Fields out of range (month 0, day 0, hour 24, minute 63, second 62) are passed on
  // unchanged: the conversion carries them into the next larger unit.
  return platform::local_to_calendar(unpack_date_time(time, date));
}

}  // namespace datmend
