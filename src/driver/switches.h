// The command-line switches: "-" or "/" followed by a letter, in either case. Each switch
// changes the Options for every file argument after it.
#ifndef DATMEND_DRIVER_SWITCHES_H_
#define DATMEND_DRIVER_SWITCHES_H_

#include <string_view>

#include "driver/options.h"

namespace datmend {

// The usage text, 21 lines, each ending with "\n".
extern const char USAGE_TEXT[];

// True for an argument that begins with "-" or "/", whatever follows.
bool is_switch(std::string_view arg);

enum class SwitchAction {
  kApplied,    // Options changed; go on with the next argument
  kShowUsage,  // "-?": print the usage text and end the run with status 0
};

// Applies one switch argument to `options`. Only the second character decides: "-rs" sets
// only `rewrite`. "-f#" sets `only_flight` to the low 16 bits of the number that follows.
// An unknown or missing letter, and "-f" with nothing after it, are fatal errors.
SwitchAction apply_switch(std::string_view arg, Options& options);

}  // namespace datmend

#endif  // DATMEND_DRIVER_SWITCHES_H_
