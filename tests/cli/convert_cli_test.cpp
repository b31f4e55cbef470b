// The conversion end to end: the real program on data files made by the test-data builder,
// with the whole standard output, the exit status and every CSV file left behind compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "support/cli_runner.h"
#include "support/data_builder.h"
#include "support/temp_dir.h"
#include "support/time_zones.h"

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

constexpr const char* DAT = "FLIGHTS.DAT";

uint32_t bits(std::initializer_list<int> numbers) {
  uint32_t flags = 0;
  for (int n : numbers) flags |= 1u << n;
  return flags;
}

// E1 to E4, C1 to C4 (four cylinders) and DIF.
const uint32_t BASIC_FLAGS = bits({2, 3, 4, 5, 11, 12, 13, 14});
constexpr const char* BASIC_NAMES =
    "\"TIME\",\"E1\",\"E2\",\"E3\",\"E4\",\"C1\",\"C2\",\"C3\",\"C4\",\"DIF\",";

// Lines joined, each ended by CR LF as in every CSV file.
std::string crlf(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Lines 1 to 6 of a CSV file of the builder's default file: model 700, version 300,
// aircraft N12345, OAT in degrees F. Line 1 as read_csv leaves it.
std::string header_block(const std::string& flight, const std::string& duration, int interval,
                         bool fuel_flow = false) {
  return crlf(
      {"\"EZSave     MM/DD/YY\"", "\"EDM- 700 V 300 J.P.Instruments  (C) 1998\"",
       "\"Aircraft Number N12345\"", "\"" + flight + "\"",
       fuel_flow ? "\"Eng Deg F     OAT Deg F     F/F GPH\"" : "\"Eng Deg F     OAT Deg F \"",
       "\"Duration " + duration + "Hours   Interval " + std::to_string(interval) +
           " seconds    \""});
}

// Writes the data file into `dir` and runs the program on it there, under UTC unless a zone
// is given.
CliResult convert(const TempDir& dir, const std::vector<uint8_t>& bytes,
                  std::vector<std::string> switches = {}, const std::string& tz = "UTC0") {
  dir.write(DAT, bytes);
  switches.push_back(DAT);
  CliOptions options;
  options.working_dir = dir.path();
  options.env = {{"TZ", tz}};
  return testing::run_datmend(switches, options);
}

CliResult convert(const TempDir& dir, const DataFileSpec& input,
                  std::vector<std::string> switches = {}, const std::string& tz = "UTC0") {
  return convert(dir, testdata::build_bytes(input), std::move(switches), tz);
}

std::string path_line() { return testing::stdout_text(std::string(DAT) + "\n"); }

// A CSV file with the date of line 1, the day of the run, checked and replaced by MM/DD/YY.
std::string read_csv(const TempDir& dir, const std::string& name) {
  if (!dir.exists(name)) {
    ADD_FAILURE() << name << " is missing";
    return "";
  }
  const std::string text = dir.read(name);
  static const std::regex line1(
      "^\"EZSave     (0[1-9]|1[0-2])/(0[1-9]|[12][0-9]|3[01])/[0-9]{2}\"\r\n");
  std::smatch match;
  if (!std::regex_search(text, match, line1)) {
    ADD_FAILURE() << name << " has no date line: " << text.substr(0, 40);
    return text;
  }
  return "\"EZSave     MM/DD/YY\"\r\n" + text.substr(static_cast<size_t>(match.length(0)));
}

// Flight n of the failure suite: two rows, six minutes apart.
FlightSpec basic_flight(uint16_t number) {
  FlightSpec flight;
  flight.flight_number = number;
  flight.flags = BASIC_FLAGS;
  flight.interval = 360;
  flight.date = testdata::pack_date(24, 6, 1);
  flight.time = testdata::pack_time(10, 0, 0);
  flight.records = {RecordSpec().change(0, 10), RecordSpec().change(9, 5)};
  return flight;
}

DataFileSpec basic_file(std::initializer_list<uint16_t> numbers) {
  DataFileSpec input;
  input.feature_flags = BASIC_FLAGS;
  for (uint16_t number : numbers) input.flights.push_back(basic_flight(number));
  return input;
}

const std::string BASIC_ROW_1 = "\"10:0:0\",250,240,240,240,240,240,240,240,10,\"S\"";
const std::string BASIC_ROW_2 = "\"10:6:0\",250,240,240,240,240,245,240,240,10,\"S\"";

std::string basic_csv(uint16_t number) {
  return header_block("Flight #" + std::to_string(number) + " 6/1/24 10:0:0", " 0.10", 360) +
         crlf({BASIC_NAMES, BASIC_ROW_1, BASIC_ROW_2});
}

// The file of a flight cut short by an error: duration not patched, the rows before it.
std::string partial_csv(uint16_t number, std::initializer_list<std::string> rows) {
  std::string text =
      header_block("Flight #" + std::to_string(number) + " 6/1/24 10:0:0", " 0.00", 360) +
      crlf({BASIC_NAMES});
  for (const std::string& row : rows) text += row + "\r\n";
  return text;
}

TEST(ConvertCli, WorkedExample) {
  const uint32_t flags = bits({0, 2, 3, 4, 5, 6, 7, 11, 12, 13, 14, 15, 16, 20, 25, 27});
  DataFileSpec input;
  input.feature_flags = flags;
  FlightSpec flight;
  flight.flight_number = 12;
  flight.flags = flags;
  flight.date = testdata::pack_date(24, 3, 15);
  flight.time = testdata::pack_time(9, 5, 0);
  // From the start values (240 everywhere) to the first sample.
  RecordSpec first;
  const int e[] = {935, 942, 951, 930, 945, 958};
  for (int slot = 0; slot < 6; ++slot) first.change(slot, e[slot] - 240);
  const int c[] = {350, 362, 371, 340, 355};
  for (int k = 0; k < 5; ++k) first.change(8 + k, c[k] - 240);
  first.not_available(13);
  first.change(15, 185 - 240).change(21, 15 - 240).change(20, 142 - 240);
  first.change(23, 95 - 240).change(22, 120 - 240).change(16, -240);
  RecordSpec second;
  second.change(13, 368 - 240).change(21, -7 - 15).change(16, 2);
  flight.records = {first, second};
  input.flights = {flight};

  TempDir dir;
  const CliResult result = convert(dir, input);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, path_line());
  EXPECT_EQ(sorted(dir.list()), sorted({DAT, "F00012-MEND.CSV"}));
  EXPECT_EQ(
      read_csv(dir, "F00012-MEND.CSV"),
      header_block("Flight #12 3/15/24 9:5:0", " 0.00", 6, true) +
          crlf({"\"TIME\",\"E1\",\"E2\",\"E3\",\"E4\",\"E5\",\"E6\",\"C1\",\"C2\",\"C3\",\"C4\","
                "\"C5\",\"C6\",\"OIL\",\"DIF\",\"OAT\",\"BAT\",\"FF\",\"USD\",\"MARK\",",
                "\"9:5:0\",935,942,951,930,945,958,350,362,371,340,355,\"NA\",185,28,15,14.2,"
                "9.5,12,",
                "\"9:5:6\",935,942,951,930,945,958,350,362,371,340,355,368,185,28,-7,14.2,9."
                "5,12,\"S\""}));
}

struct FailureCase {
  const char* label;
  std::vector<std::string> switches;
  std::function<void(DataFileSpec&)> change;
  std::string message;                       // after the path line; "" for none
  std::map<std::string, std::string> files;  // every CSV file left, with its content
};

TEST(ConvertCli, FailuresAndSelection) {
  const std::vector<FailureCase> cases = {
      {"both flights",
       {},
       [](DataFileSpec&) {},
       "",
       {{"F00001-MEND.CSV", basic_csv(1)}, {"F00002-MEND.CSV", basic_csv(2)}}},
      {"no flight", {}, [](DataFileSpec& s) { s.flights.clear(); }, "", {}},
      {"last region ends at the end of the file",
       {},
       [](DataFileSpec& s) { s.after_flights.clear(); },
       "Data ends unexpectedly",
       {{"F00001-MEND.CSV", basic_csv(1)}}},
      {"region runs past the end",
       {},
       [](DataFileSpec& s) { s.flights[1].length_words = 30; },
       "Data ends unexpectedly",
       {{"F00001-MEND.CSV", basic_csv(1)}}},
      {"six words",
       {},
       [](DataFileSpec& s) { s.flights[1].length_words = 6; },
       "Flight 2 data length too short",
       {{"F00001-MEND.CSV", basic_csv(1)}}},
      {"header checksum",
       {},
       [](DataFileSpec& s) { s.flights[1].header_checksum = 0x00; },
       "Flight header checksum failed",
       {{"F00001-MEND.CSV", basic_csv(1)}}},
      {"numbers differ",
       {},
       [](DataFileSpec& s) { s.flights[1].header_flight_number = 7; },
       "Flight numbers don't match (7 header, 2 data), invalid file",
       {{"F00001-MEND.CSV", basic_csv(1)}}},
      {"record checksum",
       {},
       [](DataFileSpec& s) { s.flights[1].records[1].checksum = 0x00; },
       "Data checksum failed",
       {{"F00001-MEND.CSV", basic_csv(1)}, {"F00002-MEND.CSV", partial_csv(2, {BASIC_ROW_1})}}},
      {"record runs past the region after its repeat rows",
       {},
       [](DataFileSpec& s) {
         s.flights[1].trailing = {0x01, 0x00, 0x02, 0xFF};
       },
       "Unexpected end of data record",
       {{"F00001-MEND.CSV", basic_csv(1)},
        {"F00002-MEND.CSV",
         partial_csv(
             2, {BASIC_ROW_1, BASIC_ROW_2, "\"10:12:0\",250,240,240,240,240,245,240,240,10,\"S\"",
                 "\"10:18:0\",250,240,240,240,240,245,240,240,10,\"S\""})}}},
      {"checksum byte just past the region",
       {},
       // 28 bytes of region, 26 in the directory: the last record's checksum byte is the
       // first byte after the region.
       [](DataFileSpec& s) { s.flights[1].length_words = 13; },
       "Unexpected end of data record",
       {{"F00001-MEND.CSV", basic_csv(1)}, {"F00002-MEND.CSV", partial_csv(2, {BASIC_ROW_1})}}},
      {"-f2 converts flight 2 only",
       {"-f2"},
       [](DataFileSpec&) {},
       "",
       {{"F00002-MEND.CSV", basic_csv(2)}}},
      {"-f with a number no entry has", {"-f9"}, [](DataFileSpec&) {}, "", {}},
      {"-f1: a skipped entry still fails its length check",
       {"-f1"},
       [](DataFileSpec& s) { s.flights[1].length_words = 2; },
       "Flight 2 data length too short",
       {{"F00001-MEND.CSV", basic_csv(1)}}},
      {"-f2: a skipped entry still fails its bounds check",
       {"-f2"},
       [](DataFileSpec& s) { s.flights[0].length_words = 60000; },
       "Data ends unexpectedly",
       {}},
      {"-f2: a skipped entry's header is not checked",
       {"-f2"},
       [](DataFileSpec& s) { s.flights[0].header_checksum = 0x00; },
       "",
       {{"F00002-MEND.CSV", basic_csv(2)}}},
      {"-s",
       {"-s"},
       [](DataFileSpec&) {},
       "",
       {{"F00001.CSV", basic_csv(1)}, {"F00002.CSV", basic_csv(2)}}},
      {"-s -f2", {"-s", "-f2"}, [](DataFileSpec&) {}, "", {{"F00002.CSV", basic_csv(2)}}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.label);
    DataFileSpec input = basic_file({1, 2});
    c.change(input);
    TempDir dir;
    const CliResult result = convert(dir, input, c.switches);
    EXPECT_EQ(result.exit_status, c.message.empty() ? 0 : 1);
    EXPECT_EQ(result.output, path_line() + c.message);
    std::vector<std::string> names = {DAT};
    for (const auto& [name, content] : c.files) {
      names.push_back(name);
      EXPECT_EQ(read_csv(dir, name), content) << name;
    }
    EXPECT_EQ(dir.list(), sorted(names));
  }
}

TEST(ConvertCli, SameFlightNumberTwiceKeepsTheLater) {
  DataFileSpec input = basic_file({5, 5});
  input.flights[1].records = {RecordSpec().change(1, 1)};
  TempDir dir;
  const CliResult result = convert(dir, input);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, path_line());
  EXPECT_EQ(dir.list(), sorted({DAT, "F00005-MEND.CSV"}));
  EXPECT_EQ(read_csv(dir, "F00005-MEND.CSV"),
            header_block("Flight #5 6/1/24 10:0:0", " 0.00", 360) +
                crlf({BASIC_NAMES, "\"10:0:0\",240,241,240,240,240,240,240,240,1,\"S\""}));
}

// A flight of exactly 7 words has no records; its header's checksum byte is the first byte
// after its region: the next region's first byte, or one of the bytes after the last.
TEST(ConvertCli, FlightOfSevenWords) {
  FlightSpec short_flight = basic_flight(3);
  short_flight.records.clear();
  short_flight.pad_to_even = false;  // 15 bytes: the directory says 7 words
  const uint8_t checksum = testdata::encode_flight(short_flight)[14];
  const std::string empty_csv =
      header_block("Flight #3 6/1/24 10:0:0", " 0.00", 360) + crlf({BASIC_NAMES});

  {
    SCOPED_TRACE("last flight");
    DataFileSpec input = basic_file({1});
    input.flights.push_back(short_flight);
    TempDir dir;
    const CliResult result = convert(dir, input);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, path_line());
    EXPECT_EQ(dir.list(), sorted({DAT, "F00001-MEND.CSV", "F00003-MEND.CSV"}));
    EXPECT_EQ(read_csv(dir, "F00003-MEND.CSV"), empty_csv);
  }
  {
    SCOPED_TRACE("middle flight");
    // The next flight's number starts with the byte that serves as the checksum.
    const uint16_t next = static_cast<uint16_t>(checksum << 8 | 4);
    DataFileSpec input = basic_file({1});
    input.flights.push_back(short_flight);
    input.flights.push_back(basic_flight(next));
    testdata::BuiltFile built = testdata::build_data_file(input);
    // The builder's own checksum byte goes; the next region moves up to replace it.
    built.bytes.erase(built.bytes.begin() + built.flight_offsets[1] + 14);
    TempDir dir;
    const CliResult result = convert(dir, built.bytes);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, path_line());
    char next_name[32];
    std::snprintf(next_name, sizeof next_name, "F%05u-MEND.CSV", unsigned{next});
    EXPECT_EQ(dir.list(), sorted({DAT, "F00001-MEND.CSV", "F00003-MEND.CSV", next_name}));
    EXPECT_EQ(read_csv(dir, "F00003-MEND.CSV"), empty_csv);
    EXPECT_EQ(read_csv(dir, next_name),
              header_block("Flight #" + std::to_string(next) + " 6/1/24 10:0:0", " 0.10", 360) +
                  crlf({BASIC_NAMES, BASIC_ROW_1, BASIC_ROW_2}));
  }
}

TEST(ConvertCli, IntervalOutsideTwoTo512BecomesSix) {
  const struct {
    uint16_t interval;
    int used;
    const char* second_row;
    const char* duration;
  } cases[] = {
      {0, 6, "10:0:6", " 0.00"},      {1, 6, "10:0:6", " 0.00"},   {2, 2, "10:0:2", " 0.00"},
      {512, 512, "10:8:32", " 0.14"}, {513, 6, "10:0:6", " 0.00"}, {65535, 6, "10:0:6", " 0.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.interval);
    DataFileSpec input = basic_file({1});
    input.flights[0].interval = c.interval;
    TempDir dir;
    const CliResult result = convert(dir, input);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"),
              header_block("Flight #1 6/1/24 10:0:0", c.duration, c.used) +
                  crlf({BASIC_NAMES, BASIC_ROW_1,
                        "\"" + std::string(c.second_row) +
                            "\",250,240,240,240,240,245,240,240,10,\"S\""}));
  }
}

TEST(ConvertCli, RepeatRowsOfTheFirstRecordShowTheStartValues) {
  {
    SCOPED_TRACE("single engine: HP and the RPM high byte start at 0");
    // E1, E2, DIF, FF, USD, RPM, MAP, HP; no cylinder bit, so dif is -32768 once computed.
    const uint32_t flags = bits({11, 12, 26, 27, 30});
    DataFileSpec input;
    input.feature_flags = flags;
    FlightSpec flight = basic_flight(1);
    flight.flags = flags;
    flight.interval = 6;
    flight.records = {RecordSpec().repeat(3).change(0, 5)};
    input.flights = {flight};
    TempDir dir;
    const CliResult result = convert(dir, input);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"),
              header_block("Flight #1 6/1/24 10:0:0", " 0.01", 6, true) +
                  crlf({"\"TIME\",\"E1\",\"E2\",\"DIF\",\"FF\",\"USD\",\"RPM\",\"MAP\",\"HP\",",
                        "\"10:0:0\",240,240,0,24,24,240,24,0,\"S\"",
                        "\"10:0:6\",240,240,0,24,24,240,24,0,\"S\"",
                        "\"10:0:12\",240,240,0,24,24,240,24,0,\"S\"",
                        "\"10:0:18\",245,240,-32768,24,24,240,24,0,\"S\""}));
  }
  {
    SCOPED_TRACE("twin: every slot starts at 240, and slot 42 still merges into RPM");
    // Slot 30 is RT1 and slot 42 RCDT on the twin.
    const uint32_t flags = bits({11, 12, 21, 23, 26});
    DataFileSpec input;
    input.model = 760;
    input.firmware_version = "140";
    input.feature_flags = flags;
    FlightSpec flight = basic_flight(1);
    flight.flags = flags;
    flight.interval = 6;
    flight.records = {RecordSpec().repeat(3)};
    input.flights = {flight};
    TempDir dir;
    const CliResult result = convert(dir, input);
    EXPECT_EQ(result.exit_status, 0);
    const std::string start = "240,240,240,0,240,240,240,240,0,240,240,\"S\"";
    EXPECT_EQ(
        read_csv(dir, "F00001-MEND.CSV"),
        crlf({"\"EZSave     MM/DD/YY\"", "\"EDM- 760 V 140 J.P.Instruments  (C) 1998\"",
              "\"Aircraft Number N12345\"", "\"Flight #1 6/1/24 10:0:0\"",
              "\"Eng Deg F     OAT Deg F \"", "\"Duration  0.01Hours   Interval 6 seconds    \"",
              "\"TIME\",\"LE1\",\"LE2\",\"LT1\",\"LDIF\",\"LCDT\",\"RE1\",\"RE2\",\"RT1\","
              "\"RDIF\",\"RCDT\",\"RPM\",",
              "\"10:0:0\"," + start, "\"10:0:6\"," + start, "\"10:0:12\"," + start,
              // 240 + 256 x 240 wraps to -3856; RCDT becomes 0.
              "\"10:0:18\",240,240,240,-32768,240,240,240,240,-32768,0,-3856,\"S\""}));
  }
}

TEST(ConvertCli, NotAvailableMarks) {
  DataFileSpec input = basic_file({1});
  input.flights[0].interval = 6;
  input.flights[0].records = {
      RecordSpec().not_available(0).not_available(1),     // both NA, values kept
      RecordSpec().change(1, 5).scale(0, 0).scale(2, 0),  // E2 back; zero scales do nothing
      RecordSpec().scale(0, 1),                           // a scale byte brings E1 back
      RecordSpec().not_available(0).not_available(1).not_available(2).not_available(3),
  };
  TempDir dir;
  const CliResult result = convert(dir, input);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"),
            header_block("Flight #1 6/1/24 10:0:0", " 0.01", 6) +
                crlf({BASIC_NAMES, "\"10:0:0\",\"NA\",\"NA\",240,240,240,240,240,240,0,\"S\"",
                      "\"10:0:6\",\"NA\",245,240,240,240,240,240,240,5,\"S\"",
                      "\"10:0:12\",496,245,240,240,240,240,240,240,256,\"S\"",
                      "\"10:0:18\",\"NA\",\"NA\",\"NA\",\"NA\",240,240,240,240,-32768,\"S\""}));
}

TEST(ConvertCli, SingleEngineRpm) {
  const uint32_t flags = bits({11, 12, 26});
  DataFileSpec input;
  input.feature_flags = flags;
  FlightSpec flight = basic_flight(1);
  flight.flags = flags;
  flight.interval = 6;
  flight.records = {
      RecordSpec().delta(41, 0x10, true).delta(42, 3),  // down by 16 + 3 x 256
      RecordSpec(),                                     // the high byte was reset
      RecordSpec().change_rpm(1000),
      RecordSpec().delta(41, 0).delta(42, 1),  // a high byte keeps RPM available
      RecordSpec().delta(41, 0),
  };
  input.flights = {flight};
  TempDir dir;
  const CliResult result = convert(dir, input);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(
      read_csv(dir, "F00001-MEND.CSV"),
      header_block("Flight #1 6/1/24 10:0:0", " 0.01", 6) +
          crlf({"\"TIME\",\"E1\",\"E2\",\"DIF\",\"RPM\",", "\"10:0:0\",240,240,-32768,-544,\"S\"",
                "\"10:0:6\",240,240,-32768,-544,\"S\"", "\"10:0:12\",240,240,-32768,456,\"S\"",
                "\"10:0:18\",240,240,-32768,712,\"S\"",
                "\"10:0:24\",240,240,-32768,\"NA\",\"S\""}));
}

TEST(ConvertCli, TwinColumnOrderAndSlots) {
  const uint32_t flags = bits({0, 2, 3, 4, 5, 6, 7, 11, 12, 13, 14, 15, 16, 20, 25, 26, 27, 30});
  DataFileSpec input;
  input.model = 760;
  input.firmware_version = "140";
  input.feature_flags = flags;
  FlightSpec flight = basic_flight(1);
  flight.flags = flags;
  // Slot s holds 300 + s, but slot 16 (the mark) 0 and slot 42 0 so RPM keeps its value.
  RecordSpec record;
  for (int slot = 0; slot < 48; ++slot) record.change(slot, 60 + slot);
  record.change(16, -240).change(42, -240);
  flight.records = {record};
  input.flights = {flight};
  TempDir dir;
  const CliResult result = convert(dir, input);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(
      read_csv(dir, "F00001-MEND.CSV"),
      crlf({"\"EZSave     MM/DD/YY\"", "\"EDM- 760 V 140 J.P.Instruments  (C) 1998\"",
            "\"Aircraft Number N12345\"", "\"Flight #1 6/1/24 10:0:0\"",
            "\"Eng Deg F     OAT Deg F     F/F GPH\"",
            "\"Duration  0.00Hours   Interval 360 seconds    \"",
            "\"TIME\",\"LE1\",\"LE2\",\"LE3\",\"LE4\",\"LE5\",\"LE6\",\"LC1\",\"LC2\",\"LC3\","
            "\"LC4\",\"LC5\",\"LC6\",\"LOIL\",\"LDIF\",\"LFF\",\"LUSD\",\"RE1\",\"RE2\","
            "\"RE3\",\"RE4\",\"RE5\",\"RE6\",\"RC1\",\"RC2\",\"RC3\",\"RC4\",\"RC5\",\"RC6\","
            "\"ROIL\",\"RDIF\",\"OAT\",\"RFF\",\"RUSD\",\"BAT\",\"RPM\",\"MAP\",\"HP\","
            "\"MARK\",",
            "\"10:0:0\",300,301,302,303,304,305,308,309,310,311,312,313,315,5,32.3,32.2,"
            "324,325,326,327,328,329,332,333,334,335,336,337,339,5,321,34.7,34.6,32,341,"
            "34,330,"}));
}

TEST(ConvertCli, HeaderFlagsNameTheColumnsConfigFlagsFillTheRows) {
  // The names follow the flight's flags (E1, E2, DIF, OAT, FF, USD, and "F/F GPH"); the
  // fields follow the "$C" flags (the basic set). The cylinder count for dif is the
  // flight's: none.
  DataFileSpec input = basic_file({1});
  input.flights[0].flags = bits({11, 12, 25, 27});
  TempDir dir;
  const CliResult result = convert(dir, input);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"),
            header_block("Flight #1 6/1/24 10:0:0", " 0.10", 360, true) +
                crlf({"\"TIME\",\"E1\",\"E2\",\"DIF\",\"OAT\",\"FF\",\"USD\",",
                      "\"10:0:0\",250,240,240,240,240,240,240,240,-32768,\"S\"",
                      "\"10:6:0\",250,240,240,240,240,245,240,240,-32768,\"S\""}));
}

// Rows of unchanging values: the repeat counts of `rows` rows in records of at most 256.
std::vector<RecordSpec> rows_of_start_values(int rows) {
  std::vector<RecordSpec> records;
  for (; rows > 0; rows -= 256) {
    records.push_back(RecordSpec().repeat(static_cast<uint8_t>(std::min(rows, 256) - 1)));
  }
  return records;
}

std::string time_of_day(int64_t seconds) {
  seconds %= 86400;
  return std::to_string(seconds / 3600) + ":" + std::to_string(seconds / 60 % 60) + ":" +
         std::to_string(seconds % 60);
}

TEST(ConvertCli, LongFlightsPatchTheDuration) {
  const struct {
    uint16_t interval;
    int rows;
    const char* line6;
  } cases[] = {
      {6, 601, "\"Duration  1.00Hours   Interval 6 seconds    \""},
      {500, 721, "\"Duration 100.00ours   Interval 500 seconds    \""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    DataFileSpec input = basic_file({1});
    input.flights[0].interval = c.interval;
    input.flights[0].time = testdata::pack_time(0, 0, 0);
    input.flights[0].records = rows_of_start_values(c.rows);
    TempDir dir;
    const CliResult result = convert(dir, input);
    EXPECT_EQ(result.exit_status, 0);
    std::string expected =
        crlf({"\"EZSave     MM/DD/YY\"", "\"EDM- 700 V 300 J.P.Instruments  (C) 1998\"",
              "\"Aircraft Number N12345\"", "\"Flight #1 6/1/24 0:0:0\"",
              "\"Eng Deg F     OAT Deg F \"", c.line6, BASIC_NAMES});
    for (int row = 0; row < c.rows; ++row) {
      expected += "\"" + time_of_day(int64_t{row} * c.interval) +
                  "\",240,240,240,240,240,240,240,240,0,\"S\"\r\n";
    }
    EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"), expected);
  }
}

TEST(ConvertCli, RowsAcrossTheStartOfSummerTime) {
  // 2024-03-10 in New York: at 2:00 EST the clocks go to 3:00 EDT.
  DataFileSpec input = basic_file({1});
  input.flights[0].interval = 60;
  input.flights[0].date = testdata::pack_date(24, 3, 10);
  input.flights[0].time = testdata::pack_time(1, 58, 0);
  input.flights[0].records = {RecordSpec().repeat(3)};
  TempDir dir;
  const CliResult result = convert(dir, input, {}, testing::NEW_YORK_TZ);
  EXPECT_EQ(result.exit_status, 0);
  const std::string values = ",240,240,240,240,240,240,240,240,0,\"S\"";
  EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"),
            header_block("Flight #1 3/10/24 1:58:0", " 0.05", 60) +
                crlf({BASIC_NAMES, "\"1:58:0\"" + values, "\"1:59:0\"" + values,
                      "\"3:0:0\"" + values, "\"3:1:0\"" + values}));
}

TEST(ConvertCli, DateBefore1970) {
  DataFileSpec input = basic_file({1});
  input.flights[0].date = testdata::pack_date(60, 5, 20);
  TempDir dir;
  const CliResult result = convert(dir, input);
  if (!testing::LOCAL_TIME_BEFORE_1970) {
    // No local time before 1970 on Windows: the flight has no row times and gets no file.
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.output, path_line() + "Flight 1 start time cannot be converted to local time");
    EXPECT_FALSE(dir.exists("F00001-MEND.CSV"));
    return;
  }
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, path_line());
  EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"),
            header_block("Flight #1 5/20/60 10:0:0", " 0.10", 360) +
                crlf({BASIC_NAMES, BASIC_ROW_1, BASIC_ROW_2}));
}

TEST(ConvertCli, RestOfARegionIsIgnored) {
  // 0xFF bytes read as a record would announce more bytes than the region holds.
  const struct {
    RecordSpec record;
    std::vector<uint8_t> rest;
  } cases[] = {
      {RecordSpec().delta(0, 10), {0xFF}},                    // 15 + 6 + 1
      {RecordSpec().delta(0, 10).delta(1, 0), {0xFF, 0xFF}},  // 15 + 7 + 2
      {RecordSpec().delta(0, 10), {0xFF, 0xFF, 0xFF}},        // 15 + 6 + 3
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rest.size());
    DataFileSpec input = basic_file({1});
    input.flights[0].records = {c.record};
    input.flights[0].trailing = c.rest;
    input.flights[0].pad_to_even = false;
    TempDir dir;
    const CliResult result = convert(dir, input);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, path_line());
    const std::string e2 = c.record.deltas.count(1) ? "\"NA\"" : "240";
    EXPECT_EQ(
        read_csv(dir, "F00001-MEND.CSV"),
        header_block("Flight #1 6/1/24 10:0:0", " 0.00", 360) +
            crlf({BASIC_NAMES, "\"10:0:0\",250," + e2 + ",240,240,240,240,240,240,10,\"S\""}));
  }
}

TEST(ConvertCli, BothChecksumFormsAreAccepted) {
  const struct {
    const char* version;
    ChecksumForm form;
    uint8_t checksum;
  } cases[] = {
      {"300", ChecksumForm::kXor, 0x07},
      {"300", ChecksumForm::kSum, 0xF7},
      {"299", ChecksumForm::kXor, 0x07},
      {"299", ChecksumForm::kSum, 0xF7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + std::to_string(c.checksum));
    RecordSpec record = RecordSpec().delta(0, 5).delta(1, 0);
    record.form = c.form;
    ASSERT_EQ(testdata::encode_record(record, ChecksumForm::kSum),
              (std::vector<uint8_t>{0x01, 0x00, 0x00, 0x03, 0x05, 0x00, c.checksum}));
    DataFileSpec input = basic_file({1});
    input.firmware_version = c.version;
    input.flights[0].form = c.form;
    input.flights[0].records = {record};
    TempDir dir;
    const CliResult result = convert(dir, input);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, path_line());
    const std::string version_line =
        std::string("\"EDM- 700 V ") + c.version + " J.P.Instruments  (C) 1998\"";
    std::string expected =
        header_block("Flight #1 6/1/24 10:0:0", " 0.00", 360) +
        crlf({BASIC_NAMES, "\"10:0:0\",245,\"NA\",240,240,240,240,240,240,5,\"S\""});
    expected.replace(expected.find("\"EDM-"), version_line.size(), version_line);
    EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"), expected);
  }
}

TEST(ConvertCli, DifOverSevenCylinders) {
  // C1 to C7, E1 to E8: dif takes E1 to E6 and E7 (slot 24), not E8 (slot 25).
  const uint32_t flags = bits({2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18});
  DataFileSpec input;
  input.feature_flags = flags;
  FlightSpec flight = basic_flight(1);
  flight.flags = flags;
  flight.records = {RecordSpec().change(24, 760).change(25, 1760).change(3, -40)};
  input.flights = {flight};
  TempDir dir;
  const CliResult result = convert(dir, input);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"),
            header_block("Flight #1 6/1/24 10:0:0", " 0.00", 360) +
                crlf({"\"TIME\",\"E1\",\"E2\",\"E3\",\"E4\",\"E5\",\"E6\",\"E7\",\"E8\",\"C1\","
                      "\"C2\",\"C3\",\"C4\",\"C5\",\"C6\",\"C7\",\"DIF\",",
                      "\"10:0:0\",240,240,240,200,240,240,1000,2000,240,240,240,240,240,240,240,"
                      "800,\"S\""}));
}

TEST(ConvertCli, ErrorInALaterFileLeavesEarlierFilesComplete) {
  TempDir dir;
  dir.write("A.DAT", testdata::build_bytes(basic_file({1})));
  DataFileSpec broken = basic_file({2});
  broken.flights[0].records[0].checksum = 0x00;
  dir.write("B.DAT", testdata::build_bytes(broken));
  CliOptions options;
  options.working_dir = dir.path();
  options.env = {{"TZ", "UTC0"}};
  const CliResult result = testing::run_datmend({"A.DAT", "B.DAT", "C.DAT"}, options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, testing::stdout_text("A.DAT\nB.DAT\n") + "Data checksum failed");
  EXPECT_EQ(dir.list(), sorted({"A.DAT", "B.DAT", "F00001-MEND.CSV", "F00002-MEND.CSV"}));
  EXPECT_EQ(read_csv(dir, "F00001-MEND.CSV"), basic_csv(1));
  EXPECT_EQ(read_csv(dir, "F00002-MEND.CSV"), partial_csv(2, {}));
}

}  // namespace
}  // namespace datmend
