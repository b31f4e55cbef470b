// The switches of the command line. One Options serves the whole run: all clear at start,
// changed only by switches, never reset.
#ifndef DATMEND_DRIVER_OPTIONS_H_
#define DATMEND_DRIVER_OPTIONS_H_

#include <cstdint>

namespace datmend {

struct Options {
  bool rewrite = false;      // "-r": write the legacy copy instead of CSV files
  bool no_suffix = false;    // "-s": CSV names without "-MEND"
  uint16_t only_flight = 0;  // "-f#": 0 converts every flight, else only this number
};

}  // namespace datmend

#endif  // DATMEND_DRIVER_OPTIONS_H_
