// TZ values for tests that need a zone with daylight-saving time. POSIX systems take zone
// names; the Windows program reads TZ in its POSIX form only, so there the same zones are
// written out as rules.
#ifndef DATMEND_TESTS_SUPPORT_TIME_ZONES_H_
#define DATMEND_TESTS_SUPPORT_TIME_ZONES_H_

#include <optional>
#include <string>

namespace datmend::testing {

// Sets TZ (nullptr removes it) and makes the program read it again.
void set_time_zone(const char* value);

// Keeps the TZ setting of its creation and puts it back when it goes out of scope, so a test
// that changes the zone leaves none behind.
class ScopedTimeZone {
 public:
  ScopedTimeZone();
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> saved_;
};

#ifdef _WIN32
inline constexpr const char* NEW_YORK_TZ = "EST5EDT";
inline constexpr const char* LORD_HOWE_TZ = "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0";
// The Windows program has no local time before 1970, as its C runtime has none.
inline constexpr bool LOCAL_TIME_BEFORE_1970 = false;
#else
inline constexpr const char* NEW_YORK_TZ = "America/New_York";
inline constexpr const char* LORD_HOWE_TZ = "Australia/Lord_Howe";
inline constexpr bool LOCAL_TIME_BEFORE_1970 = true;
#endif

}  // namespace datmend::testing

#endif  // DATMEND_TESTS_SUPPORT_TIME_ZONES_H_
