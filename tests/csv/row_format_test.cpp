#include "csv/row_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "csv/column_table.h"
#include "csv/csv_writer.h"
#include "flight/flight_format.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "support/time_zones.h"

namespace datmend {
namespace {

constexpr uint16_t kSingle = 700;
constexpr uint16_t kTwin = 760;

void set_na(SampleRecord& sample, int slot) {
  sample.na_bits[slot / 8] |= static_cast<uint8_t>(1 << (slot % 8));
}

std::string format_row(const RowPlan& plan, const TimeOfDay& time_of_day,
                       const SampleRecord& sample) {
  char row[MAX_ROW_BYTES];
  const char* end = format_data_row(plan, time_of_day, sample, row);
  return std::string(static_cast<const char*>(row), end);
}

// Every slot and dif hold `value`, so each kind of field shows it once.
SampleRecord filled(int16_t value) {
  SampleRecord sample;
  sample.values.fill(value);
  sample.dif = {value, value};
  return sample;
}

TEST(RowFormat, NumberForms) {
  // Bits 0, 11, 12, 26, 27 and 30: E1, E2, DIF, BAT, FF, USD, RPM, MAP, HP; the fields are
  // E1, E2 and DIF (divisor 1), BAT, FF and USD (tenths), RPM, MAP (tenths) and HP.
  RowPlan plan;
  plan_data_row(plan, kSingle, 0x4C001801);
  ASSERT_EQ(plan.count, 9u);
  struct Case {
    int16_t value;
    const char* fields;  // after the time, before the mark field
  };
  const Case cases[] = {
      {0, "0,0,0,0,0,0,0,0,0"},
      {5, "5,5,5,0.5,0.5,0.5,5,0.5,5"},
      {9, "9,9,9,0.9,0.9,0.9,9,0.9,9"},
      {10, "10,10,10,1,1,1,10,1,10"},
      {99, "99,99,99,9.9,9.9,9.9,99,9.9,99"},
      {100, "100,100,100,10,10,10,100,10,100"},
      {120, "120,120,120,12,12,12,120,12,120"},
      {142, "142,142,142,14.2,14.2,14.2,142,14.2,142"},
      {999, "999,999,999,99.9,99.9,99.9,999,99.9,999"},
      {1000, "1000,1000,1000,100,100,100,1000,100,1000"},
      {1001, "1001,1001,1001,100.1,100.1,100.1,1001,100.1,1001"},
      {9999, "9999,9999,9999,999.9,999.9,999.9,9999,999.9,9999"},
      {10000, "10000,10000,10000,1000,1000,1000,10000,1000,10000"},
      {10010, "10010,10010,10010,1001,1001,1001,10010,1001,10010"},
      {32767, "32767,32767,32767,3276.7,3276.7,3276.7,32767,3276.7,32767"},
      {-1, "-1,-1,-1,-0.1,-0.1,-0.1,-1,-0.1,-1"},
      {-5, "-5,-5,-5,-0.5,-0.5,-0.5,-5,-0.5,-5"},
      {-7, "-7,-7,-7,-0.7,-0.7,-0.7,-7,-0.7,-7"},
      {-15, "-15,-15,-15,-1.5,-1.5,-1.5,-15,-1.5,-15"},
      {-20, "-20,-20,-20,-2,-2,-2,-20,-2,-20"},
      {-1000, "-1000,-1000,-1000,-100,-100,-100,-1000,-100,-1000"},
      {-32768, "-32768,-32768,-32768,-3276.8,-3276.8,-3276.8,-32768,-3276.8,-32768"},
  };
  for (const Case& c : cases) {
    const std::string mark = c.value != 0 ? ",\"S\"\r\n" : ",\r\n";
    EXPECT_EQ(format_row(plan, {9, 5, 0}, filled(c.value)),
              std::string("\"9:5:0\",") + c.fields + mark)
        << c.value;
  }
}

TEST(RowFormat, TimeOfDayWithoutLeadingZeros) {
  RowPlan plan;
  plan_data_row(plan, kSingle, 0);
  const SampleRecord none = filled(0);
  EXPECT_EQ(format_row(plan, {0, 0, 0}, none), "\"0:0:0\",\r\n");
  EXPECT_EQ(format_row(plan, {9, 5, 0}, none), "\"9:5:0\",\r\n");
  EXPECT_EQ(format_row(plan, {10, 59, 7}, none), "\"10:59:7\",\r\n");
  EXPECT_EQ(format_row(plan, {23, 59, 59}, none), "\"23:59:59\",\r\n");
}

TEST(RowFormat, NotAvailable) {
  // E1, E2, DIF and BAT; E1 and BAT marked NA. DIF prints its value whatever the marks.
  RowPlan plan;
  plan_data_row(plan, kSingle, 0x1801);
  SampleRecord sample = filled(-32768);
  set_na(sample, 0);
  set_na(sample, 20);
  set_na(sample, 16);  // the mark field reads the value, not the mark
  EXPECT_EQ(format_row(plan, {1, 2, 3}, sample), "\"1:2:3\",\"NA\",-32768,-32768,\"NA\",\"S\"\r\n");
  sample.na_bits.fill(0xFF);
  EXPECT_EQ(format_row(plan, {1, 2, 3}, sample), "\"1:2:3\",\"NA\",\"NA\",-32768,\"NA\",\"S\"\r\n");
}

TEST(RowFormat, TwinSecondEngineE7ToC9HaveNoSlot) {
  // Bits 17 and 8: E7 and C7, which lie in the second engine's slot range.
  RowPlan plan;
  plan_data_row(plan, kTwin, (1u << 17) | (1u << 8));
  SampleRecord sample = filled(0);
  sample.values[24] = 1401;
  sample.values[27] = 402;
  EXPECT_EQ(format_row(plan, {1, 2, 3}, sample), "\"1:2:3\",1401,402,\"NA\",\"NA\",\r\n");
}

TEST(RowFormat, LongestRowFits) {
  RowPlan plan;
  plan_data_row(plan, kTwin, 0xFFFFFFFF);
  ASSERT_EQ(plan.count, 59u);
  const std::string row = format_row(plan, {23, 59, 59}, filled(-32768));
  EXPECT_LT(row.size(), MAX_ROW_BYTES - 4);  // the digit copies may run 3 bytes further
  EXPECT_EQ(row.substr(0, 20), "\"23:59:59\",-32768,-3");
}

// The rules written out plainly, one snprintf per field and a full time-zone conversion
// per row, to check the fast writer against.
std::string reference_row(uint16_t model, uint32_t flags, int64_t row_time,
                          const SampleRecord& sample) {
  std::string row;
  char field[64];
  const std::optional<platform::LocalTime> local = platform::calendar_to_local(row_time);
  EXPECT_TRUE(local.has_value());
  std::snprintf(field, sizeof field, "\"%d:%d:%d\"", local->hour, local->minute, local->second);
  row += field;
  for (int pass = 0; pass < engine_pass_count(model); ++pass) {
    for (int r = 0; r < DATA_COLUMN_COUNT; ++r) {
      const ColumnDef& column = column_table[r];
      if (!column_selected(column, pass, flags, model)) continue;
      const int32_t slot = column_slot(column, pass);
      if (slot == DIF_COLUMN) {
        std::snprintf(field, sizeof field, ",%d", sample.dif[pass]);
      } else if (slot == ABSENT_SLOT || test_bit(sample.na_bits.data(), slot)) {
        std::snprintf(field, sizeof field, ",\"NA\"");
      } else if (column.divisor == 10) {
        const int v = sample.values[slot];
        const int magnitude = v < 0 ? -v : v;
        if (magnitude % 10 != 0) {
          std::snprintf(field, sizeof field, ",%s%d.%d", v < 0 ? "-" : "", magnitude / 10,
                        magnitude % 10);
        } else {
          std::snprintf(field, sizeof field, ",%s%d", v < 0 ? "-" : "", magnitude / 10);
        }
      } else {
        std::snprintf(field, sizeof field, ",%d", sample.values[slot]);
      }
      row += field;
    }
  }
  row += sample.values[MARK_SLOT] != 0 ? ",\"S\"" : ",";
  row += "\r\n";
  return row;
}

int16_t random_value(std::mt19937& random) {
  switch (random() % 6) {
    case 0:
      return static_cast<int16_t>(random());  // anything
    case 1:
      return -32768;
    case 2:
      return static_cast<int16_t>(10 * static_cast<int>(random() % 200) - 1000);  // whole tenths
    case 3:
      return static_cast<int16_t>(static_cast<int>(random() % 41) - 20);
    default:
      return static_cast<int16_t>(random() % 2000);
  }
}

SampleRecord random_sample(std::mt19937& random) {
  SampleRecord sample;
  for (int16_t& value : sample.values) value = random_value(random);
  for (int16_t& dif : sample.dif) dif = random_value(random);
  for (int slot = 0; slot < VALUE_SLOTS; ++slot) {
    if (random() % 8 == 0) set_na(sample, slot);
  }
  if (random() % 2 == 0) sample.values[MARK_SLOT] = 0;
  return sample;
}

class RowWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.input_path = dir_.file("IN.DAT");
    csv_.fixed_now = 0;
  }
  void TearDown() override { close_csv_file(csv_); }

  // Writes `samples` as one flight's rows from `start` and returns the rows of the file.
  std::string write_rows(uint16_t model, uint32_t flags, int64_t start, uint16_t interval,
                         const std::vector<SampleRecord>& samples) {
    state_.config.model = model;
    state_.config.feature_flags = flags;
    FlightHeader header;
    header.flight_number = 1;
    header.flags = flags;
    header.interval = interval;
    open_csv_file(csv_, state_, options_, header.flight_number);
    write_csv_header(csv_, state_, header);
    for (size_t i = 0; i < samples.size(); ++i) {
      write_data_row(csv_, start + static_cast<int64_t>(i) * interval, samples[i]);
    }
    close_csv_file(csv_);
    const std::string file = dir_.read("F00001-MEND.CSV");
    const size_t rows = file.find("\r\n", file.find("\"TIME\"")) + 2;
    return file.substr(rows);
  }

  testing::TempDir dir_;
  FileState state_;
  Options options_;
  CsvWriter csv_;

 private:
  testing::ScopedTimeZone zone_;
};

TEST_F(RowWriterTest, SameBytesAsThePlainRules) {
  struct Case {
    const char* label;
    const char* zone;
    uint16_t model;
    uint32_t flags;  // 0: a random set
    int64_t start;
    uint16_t interval;
    int rows;
  };
  const Case cases[] = {
      {"midnight in UTC, single engine, every column", "UTC0", kSingle, 0xFFFFFFFF, 1715471400, 7,
       400},
      {"New York spring forward, twin, every column", testing::NEW_YORK_TZ, kTwin, 0xFFFFFFFF,
       1710048600, 7, 2500},
      {"New York fall back, single engine", testing::NEW_YORK_TZ, kSingle, 0, 1730607000, 13, 2000},
      {"New York fall back, twin", testing::NEW_YORK_TZ, kTwin, 0, 1730607000, 6, 1500},
      {"1965 in New York: before 1970 and across its spring change", testing::NEW_YORK_TZ, kSingle,
       0xFFFFFFFF, -148287600, 512, 3000},
      {"half-hour change on Lord Howe Island", testing::LORD_HOWE_TZ, kTwin, 0, 1712408400, 6,
       3000},
      {"shortest interval across midnight", testing::NEW_YORK_TZ, kSingle, 0, 1715486000, 2, 2000},
  };
  std::mt19937 random(20240511);
  for (const Case& c : cases) {
    if (c.start < 0 && !testing::LOCAL_TIME_BEFORE_1970) continue;
    testing::set_time_zone(c.zone);
    const uint32_t flags = c.flags != 0 ? c.flags : static_cast<uint32_t>(random());
    std::vector<SampleRecord> samples;
    std::string expected;
    for (int i = 0; i < c.rows; ++i) {
      samples.push_back(random_sample(random));
      expected += reference_row(c.model, flags, c.start + int64_t{i} * c.interval, samples.back());
    }
    const std::string rows = write_rows(c.model, flags, c.start, c.interval, samples);
    ASSERT_EQ(rows.size(), expected.size()) << c.label;
    if (rows != expected) {
      size_t at = 0;
      while (rows[at] == expected[at]) ++at;
      const size_t line = expected.rfind('\n', at) + 1;
      FAIL() << c.label << ": first difference in\n"
             << expected.substr(line, expected.find('\n', at) - line) << "\nwritten as\n"
             << rows.substr(line, rows.find('\n', at) - line);
    }
  }
}

TEST_F(RowWriterTest, LocalClockAcrossDaylightSavingChanges) {
  testing::set_time_zone(testing::NEW_YORK_TZ);
  const std::vector<SampleRecord> rows(3, filled(0));
  // 2024-03-10 01:59:54 EST, then 03:00:00 EDT.
  EXPECT_EQ(write_rows(kSingle, 0, 1710053994, 6, rows),
            "\"1:59:54\",\r\n\"3:0:0\",\r\n\"3:0:6\",\r\n");
  // 2024-11-03 01:59:54 EDT, then 01:00:00 EST.
  EXPECT_EQ(write_rows(kSingle, 0, 1730613594, 6, rows),
            "\"1:59:54\",\r\n\"1:0:0\",\r\n\"1:0:6\",\r\n");
  // An hour after the first row of a flight still follows the clock change.
  const std::vector<SampleRecord> long_rows(4, filled(0));
  EXPECT_EQ(write_rows(kSingle, 0, 1730610000, 1800, long_rows),
            "\"1:0:0\",\r\n\"1:30:0\",\r\n\"1:0:0\",\r\n\"1:30:0\",\r\n");
}

}  // namespace
}  // namespace datmend
