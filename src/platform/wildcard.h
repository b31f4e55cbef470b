// The name matching of the directory search, the same on every system.
#ifndef DATMEND_PLATFORM_WILDCARD_H_
#define DATMEND_PLATFORM_WILDCARD_H_

#include <string_view>

namespace datmend::platform {

// True when `name` matches `pattern`: "*" matches any run of characters (an empty one
// too), "?" any one character, and every other character matches itself without regard
// to letter case (ASCII letters only).
bool wildcard_match(std::string_view pattern, std::string_view name);

// True when `text` holds "*" or "?".
bool has_wildcard(std::string_view text);

}  // namespace datmend::platform

#endif  // DATMEND_PLATFORM_WILDCARD_H_
