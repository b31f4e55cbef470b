#include "header/legacy_rules.h"

namespace datmend {

LegacyRule find_legacy_rule(uint16_t model) {
  for (const LegacyRule& rule : LEGACY_RULES) {
    if (rule.model == model) return rule;
  }
  return LegacyRule{model, 300, "299"};
}

}  // namespace datmend
