#include "header/legacy_rules.h"

#include <gtest/gtest.h>

namespace datmend {
namespace {

TEST(LegacyRules, FirstMatchingRowOrTheDefault) {
  struct Case {
    uint16_t model;
    uint16_t threshold;
    std::string_view version_text;
  };
  const Case cases[] = {
      {760, 140, "139"}, {0, 300, "299"}, {700, 300, "299"}, {761, 300, "299"}, {65535, 300, "299"},
  };
  for (const Case& c : cases) {
    const LegacyRule rule = find_legacy_rule(c.model);
    EXPECT_EQ(rule.threshold, c.threshold) << c.model;
    EXPECT_EQ(rule.version_text, c.version_text) << c.model;
  }
}

}  // namespace
}  // namespace datmend
