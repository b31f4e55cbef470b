// The "-r" mode end to end: the real program on data files made by the test-data builder,
// with the whole standard output, the exit status, the copy's bytes and the untouched input
// compared.
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

using testdata::ChecksumForm;
using testdata::DataFileSpec;
using testdata::FlightSpec;
using testdata::RecordSpec;
using testing::CliOptions;
using testing::CliResult;
using testing::sorted;
using testing::TempDir;
using Bytes = std::vector<uint8_t>;

constexpr char kNotice[] = "This data file is the older version and doesn't need to be changed\n";

// Three flights the conversion reads too, with repeat counts, scale bytes, signs, a flight
// without records and a byte left at the end of a region.
DataFileSpec three_flights() {
  DataFileSpec desc;
  desc.feature_flags = 0x0000787C;  // E1 to E5, C1 to C4
  for (uint16_t number : {101, 102, 103}) {
    FlightSpec flight;
    flight.flight_number = number;
    flight.flags = desc.feature_flags;
    flight.interval = 6;
    flight.date = testdata::pack_date(25, 7, 4);
    flight.time = testdata::pack_time(14, 20, 10);
    if (number != 102) {
      flight.records = {RecordSpec().change(0, 1100).change(8, 120).repeat(3),
                        RecordSpec().change(1, -40).change(9, 2).change(24, -300),
                        RecordSpec().not_available(10)};
    }
    flight.trailing = {0xFF};
    desc.flights.push_back(flight);
  }
  return desc;
}

CliResult run_in(const TempDir& dir, const std::vector<std::string>& args) {
  CliOptions options;
  options.working_dir = dir.path();
  options.env = {{"TZ", "UTC0"}};
  return testing::run_datmend(args, options);
}

TEST(LegacyCli, WritesTheCopyBesideTheInput) {
  const DataFileSpec desc = three_flights();
  const Bytes input = testdata::build_bytes(desc);
  TempDir dir;
  dir.write("R250704.DAT", input);
  const CliResult result = run_in(dir, {"-r", "R250704.DAT"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, testing::stdout_text("R250704.DAT\n"));
  EXPECT_EQ(dir.list(), sorted({"R250704-MEND.DAT", "R250704.DAT"}));
  EXPECT_EQ(dir.read_bytes("R250704-MEND.DAT"),
            testdata::build_bytes(testdata::in_legacy_form(desc, "299")));
  EXPECT_EQ(dir.read_bytes("R250704.DAT"), input);
}

TEST(LegacyCli, TwinModelIsLoweredTo139) {
  DataFileSpec desc = three_flights();
  desc.model = 760;
  desc.firmware_version = "140";
  TempDir dir;
  dir.write("TWIN.DAT", testdata::build_bytes(desc));
  const CliResult result = run_in(dir, {"-r", "TWIN.DAT"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, testing::stdout_text("TWIN.DAT\n"));
  EXPECT_EQ(dir.read_bytes("TWIN-MEND.DAT"),
            testdata::build_bytes(testdata::in_legacy_form(desc, "139")));
}

// An older file gets the notice and no copy, and the run goes on with the next file.
TEST(LegacyCli, OlderVersionNoticeThenTheNextFile) {
  DataFileSpec old_twin = three_flights();
  old_twin.model = 760;
  old_twin.firmware_version = "139";
  DataFileSpec old_single = three_flights();
  old_single.firmware_version = "299";
  const DataFileSpec current = three_flights();
  TempDir dir;
  dir.write("OLD1.DAT", testdata::build_bytes(old_twin));
  dir.write("OLD2.DAT", testdata::build_bytes(old_single));
  dir.write("NEW.JPI", testdata::build_bytes(current));
  const CliResult result = run_in(dir, {"-r", "OLD1.DAT", "OLD2.DAT", "NEW.JPI"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, testing::stdout_text(std::string("OLD1.DAT\n") + kNotice + "OLD2.DAT\n" +
                                                kNotice + "NEW.JPI\n"));
  EXPECT_EQ(dir.list(), sorted({"NEW-MEND.DAT", "NEW.JPI", "OLD1.DAT", "OLD2.DAT"}));
  EXPECT_EQ(dir.read_bytes("NEW-MEND.DAT"),
            testdata::build_bytes(testdata::in_legacy_form(current, "299")));
}

// "-f#" does not limit the rewrite and "-s" does not drop the suffix; the extension is
// always ".DAT"; no CSV file is written.
TEST(LegacyCli, SwitchesAndNames) {
  const DataFileSpec desc = three_flights();
  const Bytes input = testdata::build_bytes(desc);
  const Bytes expected = testdata::build_bytes(testdata::in_legacy_form(desc, "299"));
  TempDir dir;
  for (const char* name : {"a.dat", "B.JPI", "NOEXT", "C-MEND.DAT"}) dir.write(name, input);
  const CliResult result =
      run_in(dir, {"-f102", "a.dat", "-s", "B.JPI", "-r", "NOEXT", "C-MEND.DAT"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, testing::stdout_text("a.dat\nB.JPI\nNOEXT\nC-MEND.DAT\n"));
  // a.dat and B.JPI were converted (flight 102 only) before "-r" was given.
  EXPECT_EQ(dir.list(), sorted({"B.JPI", "C-MEND-MEND.DAT", "C-MEND.DAT", "F00102-MEND.CSV",
                                "F00102.CSV", "NOEXT", "NOEXT-MEND.DAT", "a.dat"}));
  EXPECT_EQ(dir.read_bytes("NOEXT-MEND.DAT"), expected);
  EXPECT_EQ(dir.read_bytes("C-MEND-MEND.DAT"), expected);

  TempDir second;
  second.write("R.JPI", input);
  const CliResult later = run_in(second, {"-r", "-f103", "-s", "R.JPI"});
  EXPECT_EQ(later.exit_status, 0);
  EXPECT_EQ(second.list(), sorted({"R-MEND.DAT", "R.JPI"}));
  EXPECT_EQ(second.read_bytes("R-MEND.DAT"), expected);
}

// A pattern's list is complete before its first file is rewritten, so the copies written
// meanwhile are not rewritten again; a later run sees them as files of the older format.
TEST(LegacyCli, PatternAndASecondRun) {
  const DataFileSpec desc = three_flights();
  TempDir dir;
  dir.write("A.DAT", testdata::build_bytes(desc));
  dir.write("B.DAT", testdata::build_bytes(desc));
  const CliResult first = run_in(dir, {"-r", "*.DAT"});
  EXPECT_EQ(first.exit_status, 0);
  const std::string a = testing::stdout_text("A.DAT\n");
  const std::string b = testing::stdout_text("B.DAT\n");
  EXPECT_TRUE(first.output == a + b || first.output == b + a) << first.output;
  EXPECT_EQ(dir.list(), sorted({"A-MEND.DAT", "A.DAT", "B-MEND.DAT", "B.DAT"}));

  const CliResult again = run_in(dir, {"-r", "A-MEND.DAT"});
  EXPECT_EQ(again.exit_status, 0);
  EXPECT_EQ(again.output, testing::stdout_text(std::string("A-MEND.DAT\n") + kNotice));
  EXPECT_EQ(dir.list(), sorted({"A-MEND.DAT", "A.DAT", "B-MEND.DAT", "B.DAT"}));
}

// The CSV files of the copy hold the same flights as those of the input; only the version
// in the header block differs (line 1 is the day of the run).
TEST(LegacyCli, CopyConvertsToTheSameFlights) {
  const Bytes input = testdata::build_bytes(three_flights());
  TempDir original;
  original.write("R.DAT", input);
  ASSERT_EQ(run_in(original, {"-r", "R.DAT"}).exit_status, 0);
  TempDir copied;
  copied.write("R.DAT", original.read_bytes("R-MEND.DAT"));
  ASSERT_EQ(run_in(original, {"R.DAT"}).exit_status, 0);
  ASSERT_EQ(run_in(copied, {"R.DAT"}).exit_status, 0);
  for (const char* csv : {"F00101-MEND.CSV", "F00102-MEND.CSV", "F00103-MEND.CSV"}) {
    SCOPED_TRACE(csv);
    std::string from_input = original.read(csv);
    std::string from_copy = copied.read(csv);
    from_input.erase(0, from_input.find("\r\n") + 2);
    from_copy.erase(0, from_copy.find("\r\n") + 2);
    const std::string version_300 = "\"EDM- 700 V 300 ";
    ASSERT_EQ(from_input.rfind(version_300, 0), 0u) << from_input;
    EXPECT_EQ(from_copy, "\"EDM- 700 V 299 " + from_input.substr(version_300.size()));
  }
}

TEST(LegacyCli, ExistingCopyIsReplaced) {
  const DataFileSpec desc = three_flights();
  TempDir dir;
  dir.write("R.DAT", testdata::build_bytes(desc));
  dir.write("R-MEND.DAT", std::string(9000, 'x'));
  const CliResult result = run_in(dir, {"-r", "R.DAT"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(dir.read_bytes("R-MEND.DAT"),
            testdata::build_bytes(testdata::in_legacy_form(desc, "299")));
}

// The first error ends the run: no copy of the failing file, later files untouched.
TEST(LegacyCli, FailureStopsTheRunWithoutACopy) {
  struct Case {
    const char* label;
    DataFileSpec desc;
    std::string message;
  };
  DataFileSpec bad_record = three_flights();
  bad_record.flights[2].records[2].checksum = 0x01;  // neither form of that record
  DataFileSpec short_flight = three_flights();
  short_flight.flights[1].length_words = 5;
  DataFileSpec bad_header = three_flights();
  {
    const Bytes header = testdata::encode_flight(bad_header.flights[0]);
    uint8_t wrong = 0;
    while (wrong == testdata::checksum_of(header.data(), 14, ChecksumForm::kSum) ||
           wrong == testdata::checksum_of(header.data(), 14, ChecksumForm::kXor)) {
      ++wrong;
    }
    bad_header.flights[0].header_checksum = wrong;
  }
  DataFileSpec cut = three_flights();
  cut.after_flights.clear();
  DataFileSpec record_past_end = three_flights();
  record_past_end.flights[0].trailing = {0x01, 0x00, 0x00, 0x03};
  const Case cases[] = {
      {"record checksum in the last flight", bad_record, "Data checksum failed"},
      {"too short", short_flight, "Flight 102 data length too short"},
      {"header checksum", bad_header, "Flight header checksum failed"},
      {"end of the file", cut, "Data ends unexpectedly"},
      {"record past the region", record_past_end, "Unexpected end of data record"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    dir.write("BAD.DAT", testdata::build_bytes(c.desc));
    dir.write("GOOD.DAT", testdata::build_bytes(three_flights()));
    const CliResult result = run_in(dir, {"-r", "BAD.DAT", "GOOD.DAT"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.output, testing::stdout_text("BAD.DAT\n" + c.message));
    EXPECT_EQ(dir.list(), sorted({"BAD.DAT", "GOOD.DAT"}));
  }
}

// A directory named like the copy: the copy cannot be created.
TEST(LegacyCli, CopyThatCannotBeCreated) {
  TempDir dir;
  dir.write("R.DAT", testdata::build_bytes(three_flights()));
  std::filesystem::create_directory(dir.file("R-MEND.DAT"));
  const CliResult result = run_in(dir, {"-r", "R.DAT"});
  EXPECT_EQ(result.exit_status, 1);
#ifdef _WIN32
  const std::string reason = "Permission denied";
#else
  const std::string reason = "Is a directory";
#endif
  EXPECT_EQ(result.output,
            testing::stdout_text("R.DAT\nUnable to open output file R-MEND.DAT\n" + reason));
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("R-MEND.DAT")));
}

}  // namespace
}  // namespace datmend
