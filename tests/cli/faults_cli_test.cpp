// Faults of the machine, end to end: an output that cannot be created, a write that fails
// part-way, an input that is a directory or may not be read, and a pattern that matches
// "." and "..". Each must end with the program's message and status 1, leave the files of
// earlier flights complete, change nothing else and never touch the input.
//
// Everything here is POSIX-only: permission bits, the file-size limit and the directory
// entries "." and ".." are what a POSIX system does; the Windows cases live beside the
// Windows platform layer.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/data_builder.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

using testdata::DataFileSpec;
using testdata::FlightSpec;
using testdata::RecordSpec;
using testing::CliOptions;
using testing::CliResult;
using testing::sorted;
using testing::TempDir;
using Bytes = std::vector<uint8_t>;

// Flight 1 is short; flight 2 has thousands of rows, far more than the CSV writer buffers
// at once, so its file is written in several writes.
DataFileSpec short_then_long() {
  DataFileSpec desc;
  desc.feature_flags = 0x0000787C;  // E1 to E5, C1 to C4
  FlightSpec first;
  first.flight_number = 1;
  first.flags = desc.feature_flags;
  first.date = testdata::pack_date(25, 7, 4);
  first.time = testdata::pack_time(9, 0, 0);
  first.records = {RecordSpec().change(0, 1100).change(8, 120), RecordSpec().change(1, -40)};
  FlightSpec second = first;
  second.flight_number = 2;
  second.records.clear();
  for (int i = 0; i < 40; ++i) second.records.push_back(RecordSpec().change(i % 5, 1).repeat(255));
  desc.flights = {first, second};
  return desc;
}

CliOptions in_dir(const TempDir& dir) {
  CliOptions options;
  options.working_dir = dir.path();
  options.env = {{"TZ", "UTC0"}};
  return options;
}

// The files a run without faults writes for `input` with `args`, name by name.
struct GoodRun {
  std::vector<std::string> names;
  std::vector<std::string> contents;
};

GoodRun good_run(const Bytes& input, const std::vector<std::string>& args) {
  TempDir dir;
  dir.write("IN.DAT", input);
  const CliResult result = testing::run_datmend(args, in_dir(dir));
  EXPECT_EQ(result.exit_status, 0) << result.output;
  GoodRun run;
  for (const std::string& name : dir.list()) {
    if (name == "IN.DAT") continue;
    run.names.push_back(name);
    run.contents.push_back(dir.read(name));
  }
  return run;
}

// The CSV files are dated by the day of the run, the same for both runs but for a run
// across midnight.
std::string good_file(const GoodRun& run, const std::string& name) {
  const auto it = std::find(run.names.begin(), run.names.end(), name);
  EXPECT_NE(it, run.names.end()) << name;
  return it == run.names.end() ? std::string() : run.contents[it - run.names.begin()];
}

// The directory of a test, made usable by the unprivileged user.
void open_to_everyone(const TempDir& dir) {
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
}

TEST(FaultsCli, CsvNameTakenByADirectory) {
  const Bytes input = testdata::build_bytes(short_then_long());
  const GoodRun good = good_run(input, {"IN.DAT"});
  TempDir dir;
  dir.write("IN.DAT", input);
  std::filesystem::create_directory(dir.file("F00002-MEND.CSV"));
  const CliResult result = testing::run_datmend({"IN.DAT"}, in_dir(dir));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, "IN.DAT\nUnable to open output file F00002-MEND.CSV:\nIs a directory");
  EXPECT_EQ(dir.list(), sorted({"F00001-MEND.CSV", "F00002-MEND.CSV", "IN.DAT"}));
  EXPECT_EQ(dir.read("F00001-MEND.CSV"), good_file(good, "F00001-MEND.CSV"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("F00002-MEND.CSV")));
  EXPECT_EQ(dir.read_bytes("IN.DAT"), input);
}

// A directory the program may not write to, as a user for whom permission bits count:
// neither the CSV file nor the legacy copy can be created, and nothing is left behind.
TEST(FaultsCli, OutputDirectoryNotWritable) {
  if (!testing::can_run_unprivileged()) GTEST_SKIP() << "needs root to run as another user";
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{"IN.DAT"}, "IN.DAT\nUnable to open output file F00001-MEND.CSV:\nPermission denied"},
      {{"-s", "IN.DAT"}, "IN.DAT\nUnable to open output file F00001.CSV:\nPermission denied"},
      {{"-r", "IN.DAT"}, "IN.DAT\nUnable to open output file IN-MEND.DAT\nPermission denied"},
  };
  const Bytes input = testdata::build_bytes(short_then_long());
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("IN.DAT", input);
    std::filesystem::permissions(dir.file("IN.DAT"), std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::group_read |
                                                         std::filesystem::perms::others_read);
    // Readable and searchable by everyone, writable by nobody but root.
    std::filesystem::permissions(
        dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                        std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                        std::filesystem::perms::others_exec);
    CliOptions options = in_dir(dir);
    options.unprivileged = true;
    const CliResult result = testing::run_datmend(c.args, options);
    EXPECT_EQ(result.exit_status, 1) << c.args.front();
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"IN.DAT"}) << c.args.front();
    EXPECT_EQ(dir.read_bytes("IN.DAT"), input);
  }
}

// A file-size limit makes a write fail part-way with "File too large". The earlier flight
// is complete; the file in progress holds the start of its true contents and no more.
TEST(FaultsCli, CsvWriteFailsPartWay) {
  const Bytes input = testdata::build_bytes(short_then_long());
  const GoodRun good = good_run(input, {"IN.DAT"});
  const std::string first = good_file(good, "F00001-MEND.CSV");
  const std::string second = good_file(good, "F00002-MEND.CSV");
  constexpr uint64_t kLimit = 64 * 1024;
  ASSERT_LT(first.size(), kLimit);
  ASSERT_GT(second.size(), 4 * kLimit);

  TempDir dir;
  dir.write("IN.DAT", input);
  CliOptions options = in_dir(dir);
  options.file_size_limit = kLimit;
  const CliResult result = testing::run_datmend({"IN.DAT"}, options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, "IN.DAT\nError writing output file.\nFile too large");
  EXPECT_EQ(dir.list(), sorted({"F00001-MEND.CSV", "F00002-MEND.CSV", "IN.DAT"}));
  EXPECT_EQ(dir.read("F00001-MEND.CSV"), first);
  // The flight never ended, so its duration keeps the placeholder.
  std::string unpatched = second;
  const size_t duration = unpatched.find("\"Duration ");
  ASSERT_NE(duration, std::string::npos);
  unpatched.replace(duration, 15, "\"Duration  0.00");
  const std::string partial = dir.read("F00002-MEND.CSV");
  EXPECT_GT(partial.size(), first.size());
  EXPECT_LE(partial.size(), kLimit);
  // Not EXPECT_EQ: a failure would print a quarter of a megabyte.
  EXPECT_TRUE(partial == unpatched.substr(0, partial.size())) << partial.substr(0, 400);
  EXPECT_EQ(dir.read_bytes("IN.DAT"), input);
}

// The legacy copy goes out in one write: past the limit it fails, and the part on disk is
// the start of the true copy.
TEST(FaultsCli, LegacyWriteFailsPartWay) {
  const Bytes input = testdata::build_bytes(short_then_long());
  const GoodRun good = good_run(input, {"-r", "IN.DAT"});
  const std::string copy = good_file(good, "IN-MEND.DAT");
  const uint64_t limit = input.size() / 2;

  TempDir dir;
  dir.write("IN.DAT", input);
  CliOptions options = in_dir(dir);
  options.file_size_limit = limit;
  const CliResult result = testing::run_datmend({"-r", "IN.DAT"}, options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, "IN.DAT\nError writing file IN-MEND.DAT\nFile too large");
  EXPECT_EQ(dir.list(), sorted({"IN-MEND.DAT", "IN.DAT"}));
  const std::string partial = dir.read("IN-MEND.DAT");
  EXPECT_EQ(partial.size(), limit);
  EXPECT_TRUE(partial == copy.substr(0, partial.size()));
  EXPECT_EQ(dir.read_bytes("IN.DAT"), input);
}

// An input that cannot be read ends the run after the earlier file was converted whole:
// a path replaced by a directory, a pattern that matches "." or "..", and, as a user for
// whom permission bits count, a file nobody may read.
TEST(FaultsCli, InputThatCannotBeRead) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    std::string output;
    bool unprivileged;
  };
  const Case cases[] = {
      {"directory",
       {"A.DAT", "B.DAT"},
       "A.DAT\nB.DAT\nUnable to open file B.DAT\nPermission denied",
       false},
      {"dot", {"A.DAT", "?"}, "A.DAT\n.\nUnable to open file .\nPermission denied", false},
      {"dot dot", {"A.DAT", "??"}, "A.DAT\n..\nUnable to open file ..\nPermission denied", false},
      {"unreadable",
       {"A.DAT", "C.DAT"},
       "A.DAT\nC.DAT\nUnable to open file C.DAT\nPermission denied",
       true},
  };
  const Bytes input = testdata::build_bytes(short_then_long());
  const GoodRun good = good_run(input, {"IN.DAT"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.unprivileged && !testing::can_run_unprivileged()) {
      GTEST_SKIP() << "needs root to run as another user";
    }
    TempDir dir;
    dir.write("A.DAT", input);
    std::filesystem::create_directory(dir.file("B.DAT"));
    dir.write("C.DAT", input);
    std::filesystem::permissions(dir.file("C.DAT"), std::filesystem::perms::none);
    open_to_everyone(dir);
    CliOptions options = in_dir(dir);
    options.unprivileged = c.unprivileged;
    const CliResult result = testing::run_datmend(c.args, options);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(dir.list(),
              sorted({"A.DAT", "B.DAT", "C.DAT", "F00001-MEND.CSV", "F00002-MEND.CSV"}));
    EXPECT_EQ(dir.read("F00001-MEND.CSV"), good_file(good, "F00001-MEND.CSV"));
    EXPECT_EQ(dir.read("F00002-MEND.CSV"), good_file(good, "F00002-MEND.CSV"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("B.DAT")));
    std::filesystem::permissions(dir.file("C.DAT"), std::filesystem::perms::owner_read);
    EXPECT_EQ(dir.read_bytes("A.DAT"), input);
    EXPECT_EQ(dir.read_bytes("C.DAT"), input);
  }
}

}  // namespace
}  // namespace datmend

#endif  // _WIN32
