#include "driver/switches.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/fatal_error.h"

namespace datmend {
namespace {

struct SwitchCase {
  const char* arg;
  bool rewrite;
  bool no_suffix;
  uint16_t only_flight;
};

// Each switch applied to clear Options.
const SwitchCase kApplied[] = {
    {"-r", true, false, 0},
    {"-R", true, false, 0},
    {"/r", true, false, 0},
    {"/R", true, false, 0},
    {"-s", false, true, 0},
    {"-S", false, true, 0},
    {"/s", false, true, 0},
    {"-rs", true, false, 0},
    {"-sr", false, true, 0},
    {"-sfoo", false, true, 0},
    {"-rubbish", true, false, 0},
    {"-f7", false, false, 7},
    {"-F7", false, false, 7},
    {"/f7", false, false, 7},
    {"/F7", false, false, 7},
    {"-fabc", false, false, 0},
    {"-f0", false, false, 0},
    {"-f007", false, false, 7},
    {"-f-1", false, false, 65535},
    {"-f65535", false, false, 65535},
    {"-f65536", false, false, 0},
    {"-f65537", false, false, 1},
    {"-f+3", false, false, 3},
    {"-f  12", false, false, 12},
    {"-f\t\n\v\f\r5", false, false, 5},
    {"-f12abc", false, false, 12},
    {"-f1 2", false, false, 1},
    {"-f+", false, false, 0},
    {"-f-", false, false, 0},
    {"-f+-3", false, false, 0},
    {"-f 12", false, false, 12},
    // Beyond the signed 32-bit range the value is held at the nearer end first.
    {"-f2147483647", false, false, 65535},
    {"-f2147483648", false, false, 65535},
    {"-f99999999999", false, false, 65535},
    {"-f-2147483648", false, false, 0},
    {"-f-2147483649", false, false, 0},
    {"-f-99999999999", false, false, 0},
    {"-f-2147483647", false, false, 1},
    {"-f000000000000000000000000000000000000009", false, false, 9},
    {"-f99999999999999999999999999999999999999", false, false, 65535},
    {"-f-65537", false, false, 65535},
    {"-f-65535", false, false, 1},
    // Paths that begin with "/" are switches too.
    {"/srv/a.dat", false, true, 0},
    {"/root/a.dat", true, false, 0},
    {"/f12/x", false, false, 12},
};

TEST(ApplySwitch, SetsOptions) {
  for (const SwitchCase& c : kApplied) {
    Options options;
    EXPECT_EQ(apply_switch(c.arg, options), SwitchAction::kApplied) << c.arg;
    EXPECT_EQ(options.rewrite, c.rewrite) << c.arg;
    EXPECT_EQ(options.no_suffix, c.no_suffix) << c.arg;
    EXPECT_EQ(options.only_flight, c.only_flight) << c.arg;
  }
}

TEST(ApplySwitch, ChangesOnlyItsOwnOptionAndNothingClearsOthers) {
  Options options;
  apply_switch("-r", options);
  apply_switch("-s", options);
  apply_switch("-f9", options);
  EXPECT_TRUE(options.rewrite);
  EXPECT_TRUE(options.no_suffix);
  EXPECT_EQ(options.only_flight, 9);
  // A later -f# replaces an earlier one, and -f0 goes back to every flight.
  apply_switch("-f0", options);
  EXPECT_EQ(options.only_flight, 0);
  apply_switch("-r", options);
  EXPECT_TRUE(options.rewrite);
  EXPECT_TRUE(options.no_suffix);
}

TEST(ApplySwitch, UsageLeavesOptionsAlone) {
  for (const char* arg : {"-?", "/?", "-?x", "/?r"}) {
    Options options;
    options.only_flight = 4;
    EXPECT_EQ(apply_switch(arg, options), SwitchAction::kShowUsage) << arg;
    EXPECT_FALSE(options.rewrite) << arg;
    EXPECT_FALSE(options.no_suffix) << arg;
    EXPECT_EQ(options.only_flight, 4) << arg;
  }
}

std::string error_of(const char* arg) {
  Options options;
  try {
    apply_switch(arg, options);
  } catch (const FatalError& error) {
    return error.message;
  }
  return "(no error)";
}

TEST(ApplySwitch, Errors) {
  const char* const kFlightMessage =
      "-f argument must have the flight# follow without space separating it.";
  struct ErrorCase {
    const char* arg;
    std::string message;
  };
  const ErrorCase cases[] = {
      {"-f", kFlightMessage},
      {"-F", kFlightMessage},
      {"/f", kFlightMessage},
      {"-x", "Unknown switch -x\n"},
      {"-X", "Unknown switch -X\n"},
      {"-", "Unknown switch -\n"},
      {"/", "Unknown switch /\n"},
      {"--r", "Unknown switch --r\n"},
      {"-1", "Unknown switch -1\n"},
      {"- r", "Unknown switch - r\n"},
      {"/tmp/x.dat", "Unknown switch /tmp/x.dat\n"},
      {"/home/me/a b.dat", "Unknown switch /home/me/a b.dat\n"},
      // Only A to Z are lowered.
      {"-\xc3\x89", "Unknown switch -\xc3\x89\n"},
      {"-%s%n", "Unknown switch -%s%n\n"},
  };
  for (const ErrorCase& c : cases) EXPECT_EQ(error_of(c.arg), c.message) << c.arg;
}

TEST(IsSwitch, FirstCharacterDecides) {
  EXPECT_TRUE(is_switch("-"));
  EXPECT_TRUE(is_switch("/"));
  EXPECT_TRUE(is_switch("/tmp/a.dat"));
  EXPECT_TRUE(is_switch("-r"));
  EXPECT_FALSE(is_switch(""));
  EXPECT_FALSE(is_switch("a.dat"));
  EXPECT_FALSE(is_switch("\\tmp\\a.dat"));
  EXPECT_FALSE(is_switch("C:/a.dat"));
  EXPECT_FALSE(is_switch(" -r"));
}

}  // namespace
}  // namespace datmend
