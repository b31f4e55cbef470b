// The packed local start date and time of a flight header, as a calendar time.
#ifndef DATMEND_FLIGHT_PACKED_TIME_H_
#define DATMEND_FLIGHT_PACKED_TIME_H_

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace datmend {

// The fields of the packed words, unconverted: seconds are twice bits 0-4 of `time`, and
// the year is 2000 + y for y below 50, else 1900 + y.
platform::LocalTime unpack_date_time(uint16_t time, uint16_t date);

// Seconds since 1970-01-01 00:00 UTC of the packed local date and time. Out-of-range
// fields carry over as in calendar arithmetic; the zone's rules decide daylight saving.
// Empty when the system cannot represent that moment.
std::optional<int64_t> packed_to_time(uint16_t time, uint16_t date);

}  // namespace datmend

#endif  // DATMEND_FLIGHT_PACKED_TIME_H_
