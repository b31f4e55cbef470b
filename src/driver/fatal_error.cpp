#include "driver/fatal_error.h"

#include <cstdarg>
#include <cstdio>

namespace datmend {

void fatal_error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  FatalError error;
  if (length > 0) {
    error.message.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(error.message.data(), error.message.size(), format, again);
    error.message.resize(static_cast<size_t>(length));
  }
  va_end(again);
  throw error;
}

}  // namespace datmend
