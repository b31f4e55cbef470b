#include "support/time_zones.h"

#include <cstdlib>

#include "platform/platform.h"

namespace datmend::testing {

void set_time_zone(const char* value) {
#ifdef _WIN32
  _putenv_s("TZ", value != nullptr ? value : "");
#else
  if (value != nullptr) {
    setenv("TZ", value, 1);
  } else {
    unsetenv("TZ");
  }
#endif
  platform::reload_time_zone();
}

ScopedTimeZone::ScopedTimeZone() {
  if (const char* current = std::getenv("TZ")) saved_ = current;
}

ScopedTimeZone::~ScopedTimeZone() { set_time_zone(saved_ ? saved_->c_str() : nullptr); }

}  // namespace datmend::testing
