#include "csv/csv_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/fatal_error.h"
#include "flight/packed_time.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "support/time_zones.h"

namespace datmend {
namespace {

constexpr uint16_t kSingle = 830;
// Bits 0, 2-7, 11-16, 20, 25 and 27: E1-E6, C1-C6, OIL, DIF, OAT, BAT, FF, USD, MARK.
constexpr uint32_t kExampleFlags = 0x0A11F8FD;
// 2024-03-05 10:00:00 UTC, the conversion date of line 1.
constexpr int64_t kNow = 1709632800;
constexpr const char* kLine1 = "\"EZSave     03/05/24\"\r\n";

constexpr uint16_t date_word(int year_field, int month, int day) {
  return static_cast<uint16_t>((year_field << 9) | (month << 5) | day);
}
constexpr uint16_t time_word(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

void set_na(SampleRecord& sample, int slot) {
  sample.na_bits[slot / 8] |= static_cast<uint8_t>(1 << (slot % 8));
}

// A writer for flights of a data file "IN.DAT" in a fresh directory, with line 1 fixed to
// kNow and the local time zone UTC.
class CsvWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::set_time_zone("UTC0");
    state_.input_path = dir_.file("IN.DAT");
    state_.config.model = kSingle;
    state_.config.firmware_version = 310;
    state_.config.feature_flags = kExampleFlags;
    state_.aircraft_number = "N12345";
    csv_.fixed_now = kNow;
  }
  void TearDown() override { close_csv_file(csv_); }

  static FlightHeader example_header() {
    FlightHeader header;
    header.flight_number = 7;
    header.flags = kExampleFlags;
    header.unit_flags = 0x20;
    header.interval = 6;
    header.date = date_word(24, 5, 11);
    header.time = time_word(9, 5, 0);
    return header;
  }

  static int64_t start_of(const FlightHeader& header) {
    return packed_to_time(header.time, header.date).value();
  }

  // Writes a whole flight the way the flight walk drives the writer: rows at the start
  // time plus n x interval, then the patch with the last row's time, then the close.
  std::string write_flight(const FlightHeader& header, const std::vector<SampleRecord>& rows) {
    return write_flight_with(csv_, header, rows);
  }
  std::string write_flight_with(CsvWriter& csv, const FlightHeader& header,
                                const std::vector<SampleRecord>& rows) {
    open_csv_file(csv, state_, options_, header.flight_number);
    write_csv_header(csv, state_, header);
    int64_t row_time = start_of(header);
    for (const SampleRecord& sample : rows) {
      write_data_row(csv, row_time, sample);
      row_time += header.interval;
    }
    patch_duration(csv, header, row_time - header.interval);
    close_csv_file(csv);
    return dir_.read(csv_name(header.flight_number));
  }

  std::string csv_name(uint16_t flight_number) const {
    char name[32];
    std::snprintf(name, sizeof name, "F%05u%s.CSV", static_cast<unsigned>(flight_number),
                  options_.no_suffix ? "" : "-MEND");
    return name;
  }

  testing::TempDir dir_;
  FileState state_;
  Options options_;
  CsvWriter csv_;

 private:
  testing::ScopedTimeZone zone_;
};

// The two samples of the worked example: the second differs in C6, OAT and the mark slot.
std::vector<SampleRecord> example_samples() {
  SampleRecord first;
  const int egt[] = {935, 942, 951, 930, 945, 958};
  for (int i = 0; i < 6; ++i) first.values[i] = static_cast<int16_t>(egt[i]);
  const int cht[] = {350, 362, 371, 340, 355};
  for (int i = 0; i < 5; ++i) first.values[8 + i] = static_cast<int16_t>(cht[i]);
  set_na(first, 13);
  first.values[15] = 185;
  first.dif[0] = 28;
  first.values[21] = 15;
  first.values[20] = 142;
  first.values[23] = 95;
  first.values[22] = 120;
  first.values[16] = 0;
  SampleRecord second = first;
  second.na_bits = {};
  second.values[13] = 368;
  second.values[21] = -7;
  second.values[16] = 2;
  return {first, second};
}

TEST_F(CsvWriterTest, WorkedExampleWholeFile) {
  const std::string file = write_flight(example_header(), example_samples());
  EXPECT_EQ(file, std::string(kLine1) +
                      "\"EDM- 830 V 310 J.P.Instruments  (C) 1998\"\r\n"
                      "\"Aircraft Number N12345\"\r\n"
                      "\"Flight #7 5/11/24 9:5:0\"\r\n"
                      "\"Eng Deg F     OAT Deg F     F/F GPH\"\r\n"
                      "\"Duration  0.00Hours   Interval 6 seconds    \"\r\n"
                      "\"TIME\",\"E1\",\"E2\",\"E3\",\"E4\",\"E5\",\"E6\",\"C1\",\"C2\",\"C3\","
                      "\"C4\",\"C5\",\"C6\",\"OIL\",\"DIF\",\"OAT\",\"BAT\",\"FF\",\"USD\","
                      "\"MARK\",\r\n"
                      "\"9:5:0\",935,942,951,930,945,958,350,362,371,340,355,\"NA\",185,28,15,"
                      "14.2,9.5,12,\r\n"
                      "\"9:5:6\",935,942,951,930,945,958,350,362,371,340,355,368,185,28,-7,"
                      "14.2,9.5,12,\"S\"\r\n");
  EXPECT_EQ(csv_.csv_path, dir_.file("F00007-MEND.CSV"));
}

TEST_F(CsvWriterTest, TwinWithEveryColumn) {
  state_.config.model = 760;
  state_.config.firmware_version = 152;
  state_.config.feature_flags = 0xFFFFFFFF;
  FlightHeader header = example_header();
  header.flags = 0xFFFFFFFF;
  SampleRecord sample;
  for (int s = 0; s < VALUE_SLOTS; ++s) {
    sample.values[s] = static_cast<int16_t>(1000 + 10 * s + s % 10);
  }
  sample.dif = {-32768, 77};
  const std::string file = write_flight(header, {sample});
  EXPECT_EQ(file,
            std::string(kLine1) +
                "\"EDM- 760 V 152 J.P.Instruments  (C) 1998\"\r\n"
                "\"Aircraft Number N12345\"\r\n"
                "\"Flight #7 5/11/24 9:5:0\"\r\n"
                "\"Eng Deg F     OAT Deg F     F/F GPH\"\r\n"
                "\"Duration  0.00Hours   Interval 6 seconds    \"\r\n"
                "\"TIME\",\"LE1\",\"LE2\",\"LE3\",\"LE4\",\"LE5\",\"LE6\",\"LE7\",\"LE8\",\"LE9\","
                "\"LC1\",\"LC2\",\"LC3\",\"LC4\",\"LC5\",\"LC6\",\"LC7\",\"LC8\",\"LC9\",\"LT1\","
                "\"LT2\",\"LOIL\",\"LDIF\",\"LCLD\",\"LCDT\",\"LIAT\",\"LFF\",\"LUSD\",\"RE1\","
                "\"RE2\",\"RE3\",\"RE4\",\"RE5\",\"RE6\",\"RE7\",\"RE8\",\"RE9\",\"RC1\",\"RC2\","
                "\"RC3\",\"RC4\",\"RC5\",\"RC6\",\"RC7\",\"RC8\",\"RC9\",\"RT1\",\"RT2\",\"ROIL\","
                "\"RDIF\",\"RCLD\",\"OAT\",\"RCDT\",\"RIAT\",\"RFF\",\"RUSD\",\"BAT\",\"RPM\","
                "\"MAP\",\"HP\",\"MARK\",\r\n"
                // The second engine's E7-E9 and C7-C9 have no slot: "NA".
                "\"9:5:0\",1000,1011,1022,1033,1044,1055,1244,1255,1266,1088,1099,1100,1111,"
                "1122,1133,1277,1288,1299,1066,1077,1155,-32768,1144,1188,1199,123.3,122.2,1244,"
                "1255,1266,1277,1288,1299,\"NA\",\"NA\",\"NA\",1322,1333,1344,1355,1366,1377,"
                "\"NA\",\"NA\",\"NA\",1300,1311,1399,77,1388,1211,1422,1433,147.7,146.6,120,1411,"
                "140,1300,\"S\"\r\n");
}

TEST_F(CsvWriterTest, HeaderLines) {
  struct Case {
    const char* label;
    uint16_t model;
    uint16_t version;
    std::optional<std::string> aircraft;  // empty: as with no "$U" record
    uint16_t flight_number;
    uint16_t unit_flags;
    uint32_t flags;
    uint16_t interval;
    uint16_t date;
    uint16_t time;
    const char* expected;  // lines 2 to 7
  };
  const Case cases[] = {
      {"3-digit model, 2-digit version, no $U, degrees C, no fuel flow", 700, 42, std::nullopt, 1,
       0, 0, 6, date_word(24, 1, 2), time_word(0, 0, 0),
       "\"EDM- 700 V  42 J.P.Instruments  (C) 1998\"\r\n"
       "\"Aircraft Number \"\r\n"
       "\"Flight #1 1/2/24 0:0:0\"\r\n"
       "\"Eng Deg F     OAT Deg C \"\r\n"
       "\"Duration  0.00Hours   Interval 6 seconds    \"\r\n"
       "\"TIME\",\r\n"},
      {"4- and 5-digit numbers printed whole, fuel flow bit alone", 9999, 65535, "N1", 65535, 0x20,
       0x08000000, 512, date_word(127, 12, 31), time_word(23, 59, 58),
       "\"EDM-9999 V 65535 J.P.Instruments  (C) 1998\"\r\n"
       "\"Aircraft Number N1\"\r\n"
       "\"Flight #65535 12/31/127 23:59:58\"\r\n"
       "\"Eng Deg F     OAT Deg F     F/F GPH\"\r\n"
       "\"Duration  0.00Hours   Interval 512 seconds    \"\r\n"
       "\"TIME\",\"FF\",\"USD\",\r\n"},
      {"stored fields unchecked: month 15, year 5, hour 31, minute 63, seconds 62", 1, 0, "", 0,
       0xFFDF, 0xF7FFFFFF, 2, date_word(5, 15, 0), time_word(31, 63, 62),
       "\"EDM-   1 V   0 J.P.Instruments  (C) 1998\"\r\n"
       "\"Aircraft Number \"\r\n"
       "\"Flight #0 15/0/5 31:63:62\"\r\n"
       "\"Eng Deg F     OAT Deg C \"\r\n"
       "\"Duration  0.00Hours   Interval 2 seconds    \"\r\n"
       "\"TIME\",\"E1\",\"E2\",\"E3\",\"E4\",\"E5\",\"E6\",\"E7\",\"E8\",\"E9\",\"C1\",\"C2\","
       "\"C3\",\"C4\",\"C5\",\"C6\",\"C7\",\"C8\",\"C9\",\"T1\",\"T2\",\"OIL\",\"DIF\",\"CLD\","
       "\"OAT\",\"CDT\",\"IAT\",\"BAT\",\"RPM\",\"MAP\",\"MARK\",\r\n"},
  };
  for (const Case& c : cases) {
    state_.config.model = c.model;
    state_.config.firmware_version = c.version;
    state_.aircraft_number = c.aircraft.value_or("");
    FlightHeader header;
    header.flight_number = c.flight_number;
    header.flags = c.flags;
    header.unit_flags = c.unit_flags;
    header.interval = c.interval;
    header.date = c.date;
    header.time = c.time;
    open_csv_file(csv_, state_, options_, header.flight_number);
    write_csv_header(csv_, state_, header);
    close_csv_file(csv_);
    EXPECT_EQ(dir_.read(csv_name(header.flight_number)), std::string(kLine1) + c.expected)
        << c.label;
  }
}

// Line 1 as it reads at `calendar_time` in the local zone.
std::string line_one_at(int64_t calendar_time) {
  const platform::LocalTime local = platform::calendar_to_local(calendar_time).value();
  char line[64];
  std::snprintf(line, sizeof line, "\"EZSave     %02d/%02d/%02d\"\r\n", local.month, local.day,
                local.year % 100);
  return line;
}

TEST_F(CsvWriterTest, LineOneShowsTheCurrentLocalDate) {
  testing::set_time_zone(testing::NEW_YORK_TZ);
  csv_.fixed_now.reset();
  const std::string before = line_one_at(platform::current_time());
  open_csv_file(csv_, state_, options_, 1);
  write_csv_header(csv_, state_, example_header());
  close_csv_file(csv_);
  const std::string after = line_one_at(platform::current_time());
  // The date may change while the test runs.
  const std::string line = dir_.read("F00001-MEND.CSV").substr(0, before.size());
  EXPECT_TRUE(line == before || line == after) << line;
}

TEST_F(CsvWriterTest, LineOneFollowsTheTimeZone) {
  // 2024-03-05 03:00 UTC is still the 4th in New York.
  testing::set_time_zone(testing::NEW_YORK_TZ);
  csv_.fixed_now = kNow - 7 * 3600;
  open_csv_file(csv_, state_, options_, 1);
  write_csv_header(csv_, state_, example_header());
  close_csv_file(csv_);
  EXPECT_EQ(dir_.read("F00001-MEND.CSV").substr(0, 23), "\"EZSave     03/04/24\"\r\n");
}

TEST_F(CsvWriterTest, LineOneYearIsTwoDigits) {
  struct Case {
    int64_t now;
    const char* expected;
  };
  const Case cases[] = {
      {946684799, "\"EZSave     12/31/99\"\r\n"},      // 1999-12-31 23:59:59
      {946684800, "\"EZSave     01/01/00\"\r\n"},      // 2000-01-01
      {4102444800, "\"EZSave     01/01/00\"\r\n"},     // 2100-01-01
      {-148287600, "\"EZSave     04/20/65\"\r\n"},     // 1965-04-20 17:00
      {INT64_MAX / 2, "\"EZSave     00/00/00\"\r\n"},  // no calendar shows it
  };
  for (const Case& c : cases) {
    if (c.now < 0 && !testing::LOCAL_TIME_BEFORE_1970) continue;
    csv_.fixed_now = c.now;
    open_csv_file(csv_, state_, options_, 1);
    write_csv_header(csv_, state_, example_header());
    close_csv_file(csv_);
    EXPECT_EQ(dir_.read("F00001-MEND.CSV").substr(0, 23), c.expected) << c.now;
  }
}

TEST_F(CsvWriterTest, AircraftNumberWrittenUnescapedWithLineFeedAsCrLf) {
  state_.aircraft_number = "N1,\"2\n3";
  const std::string file = write_flight(example_header(), {});
  const std::string lines_1_to_5 = std::string(kLine1) +
                                   "\"EDM- 830 V 310 J.P.Instruments  (C) 1998\"\r\n"
                                   "\"Aircraft Number N1,\"2\r\n3\"\r\n"
                                   "\"Flight #7 5/11/24 9:5:0\"\r\n"
                                   "\"Eng Deg F     OAT Deg F     F/F GPH\"\r\n";
  EXPECT_EQ(file.substr(0, lines_1_to_5.size()), lines_1_to_5);
  // duration_pos counts every byte of lines 1 to 5, the CR bytes included.
  EXPECT_EQ(static_cast<size_t>(csv_.duration_pos), lines_1_to_5.size());
  EXPECT_EQ(file.substr(lines_1_to_5.size(), 16), "\"Duration  0.00H");
}

TEST_F(CsvWriterTest, DurationLine) {
  struct Case {
    const char* label;
    uint16_t interval;
    int rows;
    const char* expected;  // line 6
  };
  const Case cases[] = {
      {"601 rows at 6 s are one hour", 6, 601, "\"Duration  1.00Hours   Interval 6 seconds    \""},
      {"one row lasts nothing", 6, 1, "\"Duration  0.00Hours   Interval 6 seconds    \""},
      {"no rows: never below zero", 6, 0, "\"Duration  0.00Hours   Interval 6 seconds    \""},
      {"no rows at the longest interval", 512, 0,
       "\"Duration  0.00Hours   Interval 512 seconds    \""},
      {"721 rows at 500 s are 100 hours and overwrite the H", 500, 721,
       "\"Duration 100.00ours   Interval 500 seconds    \""},
      {"30 seconds round to 0.01", 30, 2, "\"Duration  0.01Hours   Interval 30 seconds    \""},
  };
  state_.config.feature_flags = 0;
  for (const Case& c : cases) {
    FlightHeader header = example_header();
    header.flags = 0;
    header.interval = c.interval;
    const std::string file = write_flight(header, std::vector<SampleRecord>(c.rows));
    const size_t pos = static_cast<size_t>(csv_.duration_pos);
    EXPECT_EQ(file.substr(pos, file.find('\r', pos) - pos), c.expected) << c.label;
    // Nothing else moved: the name row follows, then every row.
    const size_t name_row = file.find("\"TIME\",\r\n", pos);
    EXPECT_EQ(name_row, pos + std::string(c.expected).size() + 2) << c.label;
    size_t row_count = 0;
    for (size_t at = name_row; (at = file.find("\r\n", at)) != std::string::npos; at += 2) {
      ++row_count;
    }
    EXPECT_EQ(row_count, static_cast<size_t>(c.rows) + 1) << c.label;
  }
}

TEST_F(CsvWriterTest, DurationPatchedAfterTheBufferWasWrittenOut) {
  // Enough rows that line 6 is long on disk when the flight ends: the patch then goes to
  // the file instead of the buffer, with the same result.
  state_.config.model = 760;
  state_.config.feature_flags = 0xFFFFFFFF;
  FlightHeader header = example_header();
  header.flags = 0xFFFFFFFF;
  header.interval = 2;
  SampleRecord sample;
  for (int s = 0; s < VALUE_SLOTS; ++s) sample.values[s] = static_cast<int16_t>(-1234 - s);
  const std::vector<SampleRecord> rows(1801, sample);
  const std::string file = write_flight(header, rows);
  ASSERT_GT(file.size(), 2 * CSV_BUFFER_BYTES);
  const size_t pos = static_cast<size_t>(csv_.duration_pos);
  EXPECT_EQ(file.substr(pos, 48), "\"Duration  1.00Hours   Interval 2 seconds    \"\r\n");
  // The last row is intact and ends the file.
  const std::string tail = "\"10:5:0\",-1234,-1235,";
  EXPECT_NE(file.rfind(tail), std::string::npos);
  EXPECT_EQ(file.substr(file.size() - 6), ",\"S\"\r\n");
  size_t rows_seen = 0;
  for (size_t at = file.find("\"TIME\""); (at = file.find("\r\n", at)) != std::string::npos;
       at += 2) {
    ++rows_seen;
  }
  EXPECT_EQ(rows_seen, rows.size() + 1);
}

TEST_F(CsvWriterTest, NameRowFollowsHeaderFlagsAndDataRowsTheFileFlags) {
  state_.config.feature_flags = (1u << 11) | (1u << 0);  // E1, BAT and the mark field
  FlightHeader header = example_header();
  header.flags = 0;  // no names at all
  SampleRecord sample;
  sample.values[0] = 1400;
  sample.values[20] = 139;
  sample.values[16] = 0;
  std::string file = write_flight(header, {sample});
  EXPECT_EQ(file.substr(file.find("\"TIME\"")), "\"TIME\",\r\n\"9:5:0\",1400,13.9,\r\n");

  state_.config.feature_flags = 0;
  header.flags = (1u << 11) | (1u << 0);
  sample.values[16] = 1;
  file = write_flight(header, {sample});
  EXPECT_EQ(file.substr(file.find("\"TIME\"")),
            "\"TIME\",\"E1\",\"BAT\",\"MARK\",\r\n\"9:5:0\",\"S\"\r\n");
}

TEST_F(CsvWriterTest, FileNameBesideTheInput) {
  struct Case {
    std::string input_path;
    uint16_t flight_number;
    bool no_suffix;
    std::string expected;
  };
  const Case cases[] = {
      {"IN.DAT", 7, false, "F00007-MEND.CSV"},
      {"IN.DAT", 7, true, "F00007.CSV"},
      {"C:\\data\\IN.JPI", 65535, false, "C:\\data\\F65535-MEND.CSV"},
      {"d:x.dat", 0, true, "d:F00000.CSV"},
      {"dir.v2/sub/in", 12, false, "dir.v2/sub/F00012-MEND.CSV"},
      {"/abs/path/IN.DAT", 65535, true, "/abs/path/F65535.CSV"},
  };
  // Discarding output forms the path and touches nothing.
  csv_.discard_output = true;
  for (const Case& c : cases) {
    state_.input_path = c.input_path;
    options_.no_suffix = c.no_suffix;
    open_csv_file(csv_, state_, options_, c.flight_number);
    EXPECT_EQ(csv_.csv_path, c.expected) << c.input_path;
    close_csv_file(csv_);
  }
}

TEST_F(CsvWriterTest, DiscardedOutputCreatesNothing) {
  csv_.discard_output = true;
  const std::vector<SampleRecord> rows(5000, example_samples()[1]);
  for (uint16_t flight : {1, 2}) {
    FlightHeader header = example_header();
    header.flight_number = flight;
    open_csv_file(csv_, state_, options_, flight);
    write_csv_header(csv_, state_, header);
    int64_t row_time = start_of(header);
    for (const SampleRecord& sample : rows) {
      write_data_row(csv_, row_time, sample);
      row_time += header.interval;
    }
    patch_duration(csv_, header, row_time - header.interval);
    close_csv_file(csv_);
  }
  EXPECT_TRUE(dir_.list().empty());
}

TEST_F(CsvWriterTest, ExistingFileIsReplaced) {
  dir_.write("F00007-MEND.CSV", std::string(100000, 'x'));
  const std::string file = write_flight(example_header(), example_samples());
  EXPECT_EQ(file.substr(0, 23), kLine1);
  EXPECT_EQ(file.find('x'), std::string::npos);
  EXPECT_EQ(file.substr(file.size() - 6), ",\"S\"\r\n");
}

TEST_F(CsvWriterTest, SecondFlightStartsClean) {
  // The buffer serves the whole run: a long flight followed by a short one leaves nothing
  // of the first in the second.
  CsvWriter fresh;
  fresh.fixed_now = kNow;
  FlightHeader header = example_header();
  header.flight_number = 8;
  const std::string expected = write_flight_with(fresh, header, example_samples());

  const std::vector<SampleRecord> long_flight(5000, example_samples()[0]);
  const std::string first = write_flight(example_header(), long_flight);
  EXPECT_GT(first.size(), CSV_BUFFER_BYTES);
  EXPECT_EQ(write_flight(header, example_samples()), expected);
}

TEST_F(CsvWriterTest, FlightCutShortKeepsWhatWasWritten) {
  // The end of a run with an error: no patch, only the close.
  open_csv_file(csv_, state_, options_, 7);
  write_csv_header(csv_, state_, example_header());
  const SampleRecord sample = example_samples()[0];
  const int64_t start = start_of(example_header());
  const int rows = 5000;
  for (int i = 0; i < rows; ++i) write_data_row(csv_, start + 6 * i, sample);
  close_csv_file(csv_);
  const std::string cut = dir_.read("F00007-MEND.CSV");
  ASSERT_GT(cut.size(), CSV_BUFFER_BYTES);
  const size_t pos = static_cast<size_t>(csv_.duration_pos);
  EXPECT_EQ(cut.substr(pos, 20), "\"Duration  0.00Hours");
  const size_t first_row = cut.find("\"9:5:0\"");
  ASSERT_NE(first_row, std::string::npos);
  size_t row_count = 0;
  for (size_t at = first_row; (at = cut.find("\r\n", at)) != std::string::npos; at += 2) {
    ++row_count;
  }
  EXPECT_EQ(row_count, static_cast<size_t>(rows));
  // Row 4999 at 9:05:00 + 29994 s ends the file.
  const std::string last_row =
      "\"17:24:54\",935,942,951,930,945,958,350,362,371,340,355,\"NA\",185,28,15,14.2,9.5,12,"
      "\r\n";
  EXPECT_EQ(cut.substr(cut.size() - last_row.size()), last_row);
}

TEST_F(CsvWriterTest, NothingHappensWithoutAnOpenFile) {
  write_csv_line(csv_, "text\n");
  write_data_row(csv_, 0, SampleRecord{});
  patch_duration(csv_, example_header(), 0);
  close_csv_file(csv_);
  EXPECT_TRUE(dir_.list().empty());
}

TEST_F(CsvWriterTest, PathTheSystemRefusesIsFatal) {
  dir_.write("IN.DAT", std::string("data"));
  struct Case {
    std::string directory;
    std::string error_text;
  };
  const Case cases[] = {
      {dir_.file("missing/"), "No such file or directory"},
#ifndef _WIN32
      {dir_.file(std::string(300, 'd') + "/"), "File name too long"},
      {dir_.file("IN.DAT/"), "Not a directory"},
#endif
  };
  for (const Case& c : cases) {
    state_.input_path = c.directory + "IN.DAT";
    try {
      open_csv_file(csv_, state_, options_, 7);
      ADD_FAILURE() << "no error for " << c.directory;
    } catch (const FatalError& error) {
      EXPECT_EQ(error.message,
                "Unable to open output file " + c.directory + "F00007-MEND.CSV:\n" + c.error_text);
    }
    EXPECT_FALSE(csv_.csv_file.active);
  }
}

TEST_F(CsvWriterTest, RowTimeWithoutLocalTimeIsFatal) {
  open_csv_file(csv_, state_, options_, 7);
  write_csv_header(csv_, state_, example_header());
  write_data_row(csv_, start_of(example_header()), example_samples()[0]);
  try {
    // Billions of years away: no local calendar holds it.
    write_data_row(csv_, INT64_MAX - 10, example_samples()[0]);
    FAIL() << "no error";
  } catch (const FatalError& error) {
    EXPECT_EQ(error.message, "Flight 7 row time cannot be converted to local time");
  }
  close_csv_file(csv_);
  // The row before the error is kept, and nothing of the failed one.
  const std::string tail =
      "\"MARK\",\r\n\"9:5:0\",935,942,951,930,945,958,350,362,371,340,355,\"NA\",185,28,15,14.2,"
      "9.5,12,\r\n";
  const std::string file = dir_.read("F00007-MEND.CSV");
  ASSERT_GE(file.size(), tail.size());
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
}

#ifndef _WIN32
TEST_F(CsvWriterTest, FailedWriteIsFatal) {
  // A full device stands in for a full disk: the first write out of the buffer fails,
  // whether it comes from a full buffer or from the flight's end.
  for (const int rows : {20000, 2}) {
    open_csv_file(csv_, state_, options_, 7);
    int error = 0;
    csv_.csv_file.file = platform::create_for_writing("/dev/full", &error);
    ASSERT_TRUE(csv_.csv_file.file.is_open());
    const FlightHeader header = example_header();
    try {
      write_csv_header(csv_, state_, header);
      for (int i = 0; i < rows; ++i) write_data_row(csv_, start_of(header), example_samples()[0]);
      patch_duration(csv_, header, start_of(header));
      FAIL() << "no error after " << rows << " rows";
    } catch (const FatalError& e) {
      EXPECT_EQ(e.message, "Error writing output file.\nNo space left on device") << rows;
    }
    // The close on the way out reports nothing more.
    EXPECT_NO_THROW(close_csv_file(csv_));
    EXPECT_FALSE(csv_.csv_file.active);
  }
}
#endif

}  // namespace
}  // namespace datmend
