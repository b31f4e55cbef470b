#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

TEST(WildcardMatch, Table) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*", "", true},
      {"*", "a.dat", true},
      {"*", ".", true},
      {"*", "..", true},
      {"", "", true},
      {"", "a", false},
      {"a", "", false},
      {"?", "", false},
      {"?", "a", true},
      {"?", "ab", false},
      {"??", "ab", true},
      {"*.dat", "a.dat", true},
      {"*.dat", "A.DAT", true},
      {"*.DAT", "r1.dat", true},
      {"*.dat", ".dat", true},
      {"*.dat", "a.datx", false},
      {"*.dat", "a.da", false},
      {"*.dat", "adat", false},
      {"*.*", "noext", false},
      {"*.*", "a.b", true},
      {"R*.DAT", "r210101.dat", true},
      {"R*.DAT", "xr.dat", false},
      {"a*b*c", "abc", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"a*b*c", "acb", false},
      {"*a*", "bab", true},
      {"**", "x", true},
      {"*?", "", false},
      {"*?", "x", true},
      {"?*?", "x", false},
      {"f?????.csv", "F00012.CSV", true},
      {"f?????.csv", "F0001.CSV", false},
      {"Mixed.Dat", "mIXED.dAT", true},
      {"a.dat", "a.dat ", false},
      // Only ASCII letters are matched without regard to case.
      {"\xc3\xa9.dat", "\xc3\x89.dat", false},
      {"[ab].dat", "a.dat", false},
      {"[ab].dat", "[ab].dat", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::wildcard_match(c.pattern, c.name), c.match)
        << "'" << c.pattern << "' vs '" << c.name << "'";
  }
}

TEST(WildcardMatch, ManyStarsStayFast) {
  // Would take ages with naive backtracking.
  const std::string pattern = std::string(30, '*') + "b";
  const std::string name(10000, 'a');
  EXPECT_FALSE(platform::wildcard_match(pattern, name));
  EXPECT_TRUE(platform::wildcard_match(pattern, name + "b"));
}

TEST(HasWildcard, StarOrQuestionMark) {
  EXPECT_TRUE(platform::has_wildcard("*"));
  EXPECT_TRUE(platform::has_wildcard("a?/"));
  EXPECT_FALSE(platform::has_wildcard("data/x.dat"));
  EXPECT_FALSE(platform::has_wildcard(""));
}

class FindMatchingEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("a.dat", "1");
    dir_.write("B.DAT", "2");
    dir_.write("c.txt", "3");
    ASSERT_TRUE(std::filesystem::create_directory(dir_.file("sub.dat")));
  }

  std::vector<std::string> find(const std::string& pattern, bool expect_found = true) {
    std::vector<std::string> names = {"stale"};
    EXPECT_EQ(platform::find_matching_entries(dir_.path() + "/", pattern, &names), expect_found)
        << pattern;
    EXPECT_EQ(platform::last_error(), ENOENT) << pattern;
    return names;
  }

  static std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempDir dir_;
};

TEST_F(FindMatchingEntries, WildcardsAndCase) {
  EXPECT_EQ(sorted(find("*.dat")), (std::vector<std::string>{"B.DAT", "a.dat", "sub.dat"}));
  EXPECT_EQ(find("?.TXT"), std::vector<std::string>{"c.txt"});
  // A name without wildcards gives the entry under its stored letter case.
  EXPECT_EQ(find("b.dat"), std::vector<std::string>{"B.DAT"});
  EXPECT_EQ(find("A.DAT"), std::vector<std::string>{"a.dat"});
  EXPECT_TRUE(find("nothing.dat", false).empty());
  EXPECT_TRUE(find("", false).empty());
}

TEST_F(FindMatchingEntries, DotsComeFirst) {
  const std::vector<std::string> names = find("*");
  ASSERT_EQ(names.size(), 6u);
  EXPECT_EQ(names[0], ".");
  EXPECT_EQ(names[1], "..");
  EXPECT_EQ(sorted({names.begin() + 2, names.end()}),
            (std::vector<std::string>{"B.DAT", "a.dat", "c.txt", "sub.dat"}));
  EXPECT_EQ(find(".*"), (std::vector<std::string>{".", ".."}));
  EXPECT_EQ(find(".."), std::vector<std::string>{".."});
}

TEST_F(FindMatchingEntries, DirectoriesThatCannotBeSearched) {
  const std::string cases[] = {
      dir_.path() + "/missing/",
      dir_.path() + "/a.dat/",  // a file, not a directory
      dir_.path() + "/s*/",     // wildcards only in the last component
      dir_.path() + "/su?.dat/",
  };
  for (const std::string& directory : cases) {
    std::vector<std::string> names = {"stale"};
    EXPECT_FALSE(platform::find_matching_entries(directory, "*", &names)) << directory;
    EXPECT_TRUE(names.empty()) << directory;
    EXPECT_EQ(platform::last_error(), ENOENT) << directory;
  }
}

TEST_F(FindMatchingEntries, BackslashSeparatesDirectories) {
  dir_.write("sub.dat/inner.dat", "4");
  std::vector<std::string> names;
  ASSERT_TRUE(platform::find_matching_entries(dir_.path() + "\\sub.dat\\", "*.DAT", &names));
  EXPECT_EQ(names, std::vector<std::string>{"inner.dat"});
}

}  // namespace
}  // namespace datmend
