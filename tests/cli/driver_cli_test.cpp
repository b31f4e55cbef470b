// The command line through the real program: usage, switches, pattern expansion and the
// loading errors, each checked by the whole standard output and the exit status.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/data_builder.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

using testing::CliResult;
using testing::stdout_text;

const char kUsage[] =
    "DATMEND [-r] [-s] [-f#] datfiles\n"
    "\n"
    "  datfiles are a list of .DAT or .JPI files to translate, wildcards allowed.\n"
    "\n"
    "  -r      Instead of translating the .DAT file to .CSV files, this will\n"
    "          merely change the .DAT file back to the older format which is\n"
    "          supported by EZSave. This should work on files which may have\n"
    "          options that are not yet recognized by this program. The resulting\n"
    "          file will be named with the suffix -MEND (e.g. Ryymmdd-MEND.DAT).\n"
    "          In the event of .JPI file names as input, it will always output names\n"
    "          with .DAT extension names so EZSave will find them easily.\n"
    "\n"
    "  -s      Suppress CSV file name suffixing (i.e. no Fnnnnn-MEND.CSV naming)\n"
    "  -f#     Display only flight #'s data (# is numeric value)\n"
    "\n"
    "A few of the less common features of the .DAT files are not fully understood,\n"
    "so if there is some kind of translation error it could be an option\n"
    "that hasn't been seen and debugged yet. Particular cases may include recording\n"
    "engine temps in deg C, fuel flow in other than GPH, etc.\n"
    "Note that you can still use the -r option to get EZSave to work\n"
    "with your file in those cases.\n";

const char kFlightSwitch[] =
    "-f argument must have the flight# follow without space separating it.";

// A data file whose header reads cleanly and that holds no flights: loading and reading
// it prints nothing but its path.
std::vector<uint8_t> good_file() { return testdata::build_bytes(testdata::DataFileSpec{}); }

// A file with the given flights, each of a few records.
std::vector<uint8_t> file_with_flights(std::vector<uint16_t> numbers) {
  testdata::DataFileSpec desc;
  for (uint16_t number : numbers) {
    testdata::FlightSpec flight;
    flight.flight_number = number;
    flight.records.resize(3);
    flight.records[1].change(0, 5);
    desc.flights.push_back(flight);
  }
  return testdata::build_bytes(desc);
}

class DriverCli : public ::testing::Test {
 protected:
  CliResult run(const std::vector<std::string>& args) {
    testing::CliOptions options;
    options.working_dir = dir_.path();
    options.env = {{"TZ", "UTC0"}};
    return testing::run_datmend(args, options);
  }

  void make_directory(const std::string& name) {
    ASSERT_TRUE(std::filesystem::create_directory(dir_.file(name))) << name;
  }

  // The CSV files in `directory` (relative), sorted.
  std::vector<std::string> csv_files(const std::string& directory = "") {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.file(directory + "."))) {
      const std::string name = entry.path().filename().string();
      if (name.size() > 4 && name.substr(name.size() - 4) == ".CSV") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempDir dir_;
};

TEST_F(DriverCli, UsageText) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-?"}, {"/?"}, {"-?x"}, {"-?", "-x"}, {"-r", "-s", "-?"}}) {
    const CliResult result = run(args);
    EXPECT_EQ(result.exit_status, 0) << ::testing::PrintToString(args);
    EXPECT_EQ(result.output, stdout_text(kUsage)) << ::testing::PrintToString(args);
  }
}

TEST_F(DriverCli, UsageBetweenFilesEndsTheRun) {
  dir_.write("a.dat", good_file());
  // The second pattern would fail if it were looked at.
  const CliResult result = run({"a.dat", "-?", "missing.dat"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, stdout_text(std::string("a.dat\n") + kUsage));
}

TEST_F(DriverCli, OnlySwitchesPrintNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-r", "-s"}, {"-f7"}, {"/R", "-S", "-F0", "-sfoo"}}) {
    const CliResult result = run(args);
    EXPECT_EQ(result.exit_status, 0) << ::testing::PrintToString(args);
    EXPECT_EQ(result.output, "") << ::testing::PrintToString(args);
  }
}

TEST_F(DriverCli, SwitchErrors) {
  dir_.write("a.dat", good_file());
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{"-x"}, "Unknown switch -x\n"},
      {{"-"}, "Unknown switch -\n"},
      {{"/"}, "Unknown switch /\n"},
      {{"-f"}, kFlightSwitch},
      {{"/F"}, kFlightSwitch},
      // The number as a separate argument: the run ends at the -f.
      {{"-f", "7"}, kFlightSwitch},
      {{"-f", "a.dat"}, kFlightSwitch},
      // An absolute path is a switch: here the letter t.
      {{"/tmp/x.dat"}, "Unknown switch /tmp/x.dat\n"},
      // Files of earlier arguments are processed first.
      {{"a.dat", "-x", "a.dat"}, "a.dat\nUnknown switch -x\n"},
      {{"a.dat", "-f"}, std::string("a.dat\n") + kFlightSwitch},
  };
  for (const Case& c : cases) {
    const CliResult result = run(c.args);
    EXPECT_EQ(result.exit_status, 1) << ::testing::PrintToString(c.args);
    EXPECT_EQ(result.output, stdout_text(c.output)) << ::testing::PrintToString(c.args);
  }
}

TEST_F(DriverCli, AbsolutePathsAreSwitchesNotFiles) {
  // /srv/... is the switch -s and /root/... the switch -r: neither names a file, and
  // neither prints anything.
  for (const char* arg : {"/srv/a.dat", "/root/a.dat"}) {
    const CliResult result = run({arg});
    EXPECT_EQ(result.exit_status, 0) << arg;
    EXPECT_EQ(result.output, "") << arg;
  }
}

TEST_F(DriverCli, PatternWithoutMatch) {
  dir_.write("a.dat", good_file());
  make_directory("data");
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{"*.none"}, "Unable to find file *.none"},
      {{"b.dat"}, "Unable to find file b.dat"},
      {{"data/*.dat"}, "Unable to find file data/*.dat"},
      {{"nodir/*.dat"}, "Unable to find file nodir/*.dat"},
      {{"nodir\\A.DAT"}, "Unable to find file nodir\\A.DAT"},
      {{"a*/x.dat"}, "Unable to find file a*/x.dat"},
      {{"a.dat/x.dat"}, "Unable to find file a.dat/x.dat"},
      {{"data/"}, "Unable to find file data/"},
      {{""}, "Unable to find file "},
      // After the earlier arguments were processed.
      {{"a.dat", "-s", "A.DAT", "nodir/*.dat"}, "a.dat\na.dat\nUnable to find file nodir/*.dat"},
  };
  for (const Case& c : cases) {
    const CliResult result = run(c.args);
    EXPECT_EQ(result.exit_status, 1) << ::testing::PrintToString(c.args);
    EXPECT_EQ(result.output, stdout_text(c.output)) << ::testing::PrintToString(c.args);
  }
}

TEST_F(DriverCli, DirectoryPrefixIsKeptAsTyped) {
  make_directory("data");
  make_directory("data/deeper");
  dir_.write("data/One.Dat", good_file());
  dir_.write("data/deeper/R1.JPI", good_file());
  struct Case {
    std::string pattern;
    std::string path;
  };
  const Case cases[] = {
      {"data/*.dat", "data/One.Dat"},
      {"data\\*.DAT", "data\\One.Dat"},
      // A name without wildcards gives the stored letter case.
      {"data/ONE.DAT", "data/One.Dat"},
      {"data/o?e.*", "data/One.Dat"},
      {"./data//one.dat", "./data//One.Dat"},
      {"data/deeper\\r1.jpi", "data/deeper\\R1.JPI"},
      {"data\\deeper/../*.DAT", "data\\deeper/../One.Dat"},
  };
  for (const Case& c : cases) {
    const CliResult result = run({c.pattern});
    EXPECT_EQ(result.exit_status, 0) << c.pattern;
    EXPECT_EQ(result.output, stdout_text(c.path + "\n")) << c.pattern;
  }
}

TEST_F(DriverCli, EveryMatchInListingOrder) {
  const std::vector<std::string> names = {"b.dat", "A.DAT", "c.Dat", "d.txt"};
  for (const std::string& name : names) dir_.write(name, good_file());
  const CliResult result = run({"*.dat"});
  EXPECT_EQ(result.exit_status, 0);
  // The listing order is the directory's own; compare the set and the line form.
  std::vector<std::string> lines;
  const std::string line_end = stdout_text("\n");
  size_t start = 0;
  for (size_t end; (end = result.output.find(line_end, start)) != std::string::npos;
       start = end + line_end.size()) {
    lines.push_back(result.output.substr(start, end - start));
  }
  EXPECT_EQ(start, result.output.size()) << "output ends with a line end";
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"A.DAT", "b.dat", "c.Dat"}));
}

TEST_F(DriverCli, SameFileTwiceIsProcessedTwice) {
  dir_.write("a.dat", good_file());
  const CliResult result = run({"a.dat", "A.DAT"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, stdout_text("a.dat\na.dat\n"));
}

TEST_F(DriverCli, LoadingErrors) {
  dir_.write("empty.dat", std::vector<uint8_t>{});
  make_directory("sub.dat");
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{"empty.dat"}, "empty.dat\nError reading file empty.dat\nNo such file or directory"},
      {{"EMPTY.*"}, "empty.dat\nError reading file empty.dat\nNo such file or directory"},
      // A directory that a pattern matches is listed like a file.
      {{"sub*"}, "sub.dat\nUnable to open file sub.dat\nPermission denied"},
      {{"sub.dat"}, "sub.dat\nUnable to open file sub.dat\nPermission denied"},
      // "*" matches "." first.
      {{"*"}, ".\nUnable to open file .\nPermission denied"},
      {{"sub.dat\\*"}, "sub.dat\\.\nUnable to open file sub.dat\\.\nPermission denied"},
      {{".."}, "..\nUnable to open file ..\nPermission denied"},
  };
  for (const Case& c : cases) {
    const CliResult result = run(c.args);
    EXPECT_EQ(result.exit_status, 1) << ::testing::PrintToString(c.args);
    EXPECT_EQ(result.output, stdout_text(c.output)) << ::testing::PrintToString(c.args);
  }
}

TEST_F(DriverCli, HeaderErrorEndsTheRunAfterThePath) {
  dir_.write("a.dat", good_file());
  dir_.write("bad.dat", std::string("no header here\r\n"));
  const CliResult result = run({"a.dat", "bad.dat", "a.dat"});
  EXPECT_EQ(result.exit_status, 1);
  // The header reader's own message follows; the third argument is never reached.
  EXPECT_EQ(result.output.rfind(stdout_text("a.dat\nbad.dat\n"), 0), 0u) << result.output;
  EXPECT_GT(result.output.size(), stdout_text("a.dat\nbad.dat\n").size()) << result.output;
  EXPECT_EQ(result.output.find(stdout_text("\na.dat\n")), std::string::npos) << result.output;
}

TEST_F(DriverCli, SwitchesActOnLaterFilesOnly) {
  for (const char* directory : {"a", "b", "c", "d"}) {
    make_directory(directory);
    dir_.write(std::string(directory) + "/x.dat", file_with_flights({2, 3}));
  }
  const CliResult suffix = run({"a/x.dat", "-s", "b/x.dat"});
  EXPECT_EQ(suffix.exit_status, 0) << suffix.output;
  EXPECT_EQ(suffix.output, stdout_text("a/x.dat\nb/x.dat\n"));
  EXPECT_EQ(csv_files("a/"), (std::vector<std::string>{"F00002-MEND.CSV", "F00003-MEND.CSV"}));
  EXPECT_EQ(csv_files("b/"), (std::vector<std::string>{"F00002.CSV", "F00003.CSV"}));

  const CliResult only = run({"-f3", "c/x.dat", "-f0", "d/x.dat"});
  EXPECT_EQ(only.exit_status, 0) << only.output;
  EXPECT_EQ(only.output, stdout_text("c/x.dat\nd/x.dat\n"));
  EXPECT_EQ(csv_files("c/"), (std::vector<std::string>{"F00003-MEND.CSV"}));
  EXPECT_EQ(csv_files("d/"), (std::vector<std::string>{"F00002-MEND.CSV", "F00003-MEND.CSV"}));
}

TEST_F(DriverCli, PatternIsExpandedBeforeItsFirstFile) {
  // The legacy copy a-MEND.DAT that -r writes beside a.dat matches the same pattern; it is
  // not in this argument's list, only in a later argument's.
  make_directory("d");
  dir_.write("d/a.dat", file_with_flights({1}));
  const CliResult result = run({"-r", "d/a*"});
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(result.output, stdout_text("d/a.dat\n"));
  EXPECT_TRUE(dir_.exists("d/a-MEND.DAT"));
}

// POSIX only: the Windows C runtime refuses paths beyond 259 characters; FIFOs.
#ifndef _WIN32
TEST_F(DriverCli, PathsLongerThanTheOldLimit) {
  std::string directory;
  for (int i = 0; i < 3; ++i) {
    directory += std::string(100, static_cast<char>('a' + i)) + "/";
    make_directory(directory);
  }
  dir_.write(directory + "x.dat", good_file());
  const CliResult result = run({directory + "*.dat"});
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(result.output, stdout_text(directory + "x.dat\n"));
}

TEST_F(DriverCli, FifoIsReadWithoutWaitingForAWriter) {
  // Nobody writes to it: it reads as empty instead of holding up the run.
  ASSERT_EQ(mkfifo(dir_.file("pipe.dat").c_str(), 0644), 0);
  const CliResult result = run({"pipe.*"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, "pipe.dat\nError reading file pipe.dat\nNo such file or directory");
}
#endif

}  // namespace
}  // namespace datmend
