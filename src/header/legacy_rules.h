// Which firmware versions make a data file one of the newer format, per instrument model,
// and the version text that the older format's "$C" record carries instead.
#ifndef DATMEND_HEADER_LEGACY_RULES_H_
#define DATMEND_HEADER_LEGACY_RULES_H_

#include <array>
#include <cstdint>
#include <string_view>

#include "flight/flight_format.h"

namespace datmend {

struct LegacyRule {
  uint16_t model = 0;
  uint16_t threshold = 0;         // first firmware version of the newer format
  std::string_view version_text;  // three characters written into "$C" for the older one
};

// Searched in order; the first row whose model matches wins.
inline constexpr std::array<LegacyRule, 2> LEGACY_RULES = {{
    {TWIN_MODEL, 140, "139"},
    {0, 300, "299"},
}};

// The rule of `model`: its row of LEGACY_RULES, or threshold 300 and "299" when no row
// matches.
LegacyRule find_legacy_rule(uint16_t model);

}  // namespace datmend

#endif  // DATMEND_HEADER_LEGACY_RULES_H_
