// The one error path of the program. Every error is fatal: fatal_error formats the
// message and throws it as a FatalError; main() alone catches it, prints the message to
// standard output exactly as formatted (no line end is added), flushes and closes every
// open output and ends the run with exit status 1.
#ifndef DATMEND_DRIVER_FATAL_ERROR_H_
#define DATMEND_DRIVER_FATAL_ERROR_H_

#include <string>

namespace datmend {

struct FatalError {
  std::string message;
};

[[noreturn]] void fatal_error(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace datmend

#endif  // DATMEND_DRIVER_FATAL_ERROR_H_
