#include "flight/flight_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "driver/fatal_error.h"
#include "flight/record_decoder.h"
#include "flight/record_layout.h"
#include "support/data_builder.h"

namespace datmend {
namespace {

using testdata::ChecksumForm;
using testdata::DataFileSpec;
using testdata::FlightSpec;
using testdata::RecordSpec;

constexpr uint16_t SINGLE = 700;
constexpr uint32_t BIT_26 = 0x04000000;

// Feature flags with the cylinder bits 2 to 2 + n - 1.
constexpr uint32_t cylinders(int n) { return ((1u << n) - 1) << 2; }

bool is_na(const SampleRecord& sample, int slot) { return test_bit(sample.na_bits.data(), slot); }

void set_na(SampleRecord& sample, int slot) {
  sample.na_bits[slot / 8] = static_cast<uint8_t>(sample.na_bits[slot / 8] | (1 << (slot % 8)));
}

// Applies one encoded record, through the same layout walk the decoder uses.
void apply(SampleRecord& sample, const std::vector<uint8_t>& bytes, uint16_t model) {
  RecordLayout layout;
  ASSERT_TRUE(read_record_layout(bytes, &layout));
  apply_record(sample, bytes, layout, model);
}

void apply(SampleRecord& sample, const RecordSpec& record, uint16_t model) {
  apply(sample, testdata::encode_record(record, ChecksumForm::kSum), model);
}

struct DifCase {
  const char* label;
  uint16_t model;
  uint32_t flags;
  std::vector<std::pair<int, int16_t>> values;  // all other slots hold 240
  std::vector<int> na;
  int16_t dif0;
  int16_t dif1;
};

TEST(FinishSample, DifOverTheCylinderSlots) {
  const std::vector<DifCase> cases = {
      {"no cylinder bit", SINGLE, 0, {}, {}, -32768, 0},
      {"no cylinder bit, twin", TWIN_MODEL, 0, {}, {}, -32768, -32768},
      {"bit 2 missing: no cylinder", SINGLE, cylinders(6) & ~4u, {{1, 900}}, {}, -32768, 0},
      {"six cylinders leave slot 24 out",
       SINGLE,
       cylinders(6),
       {{0, 900}, {1, 880}, {2, 875}, {3, 870}, {4, 890}, {5, 885}, {24, 2000}, {6, 5}},
       {},
       30,
       0},
      {"seven cylinders take slot 24, not 25",
       SINGLE,
       cylinders(7),
       {{0, 300}, {24, 1000}, {25, 5000}},
       {},
       760,
       0},
      {"the run of bits stops at a gap",
       SINGLE,
       cylinders(2) | (1u << 5),
       {{0, 250}, {3, 1000}},
       {},
       10,
       0},
      {"NA slots are passed over", SINGLE, cylinders(4), {{0, 9000}, {1, 230}}, {0}, 10, 0},
      {"all E slots NA", SINGLE, cylinders(3), {}, {0, 1, 2}, -32768, 0},
      {"the maximum starts at -1", SINGLE, cylinders(2), {{0, -10}, {1, -5}}, {}, 9, 0},
      {"the difference wraps to 16 bits",
       SINGLE,
       cylinders(2),
       {{0, 32767}, {1, -32768}},
       {},
       -1,
       0},
      {"twin: second engine in slots 24 to 29",
       TWIN_MODEL,
       cylinders(6),
       {{0, 200}, {5, 300}, {24, 100}, {29, 600}, {30, 9000}},
       {},
       100,
       500},
      {"twin, nine cylinders: both engines share slots 24 to 26",
       TWIN_MODEL,
       cylinders(9),
       {{0, 200}, {26, 400}, {29, 100}},
       {},
       200,
       300},
      {"twin: one engine all NA", TWIN_MODEL, cylinders(2), {{0, 250}}, {24, 25}, 10, -32768},
  };
  for (const DifCase& c : cases) {
    SampleRecord sample;
    reset_sample(sample, c.model);
    for (const auto& [slot, value] : c.values) sample.values[slot] = value;
    for (int slot : c.na) set_na(sample, slot);
    const SampleRecord before = sample;
    finish_sample(sample, c.flags, c.model);
    EXPECT_EQ(sample.dif[0], c.dif0) << c.label;
    EXPECT_EQ(sample.dif[1], c.dif1) << c.label;
    EXPECT_EQ(sample.values, before.values) << c.label;
    EXPECT_EQ(sample.na_bits, before.na_bits) << c.label;
  }
}

struct RpmCase {
  const char* label;
  uint16_t model;
  uint32_t flags;
  int16_t rpm;
  int16_t high;
  int16_t rpm_after;
  int16_t high_after;
};

TEST(FinishSample, MergesTheRpmHighByteWithBit26) {
  const std::vector<RpmCase> cases = {
      {"bit 26 clear: nothing moves", SINGLE, cylinders(6), 2400, 3, 2400, 3},
      {"positive high byte", SINGLE, BIT_26, 224, 9, 224 + 9 * 256, 0},
      {"negative high byte", SINGLE, BIT_26, 224, -3, 224 - 768, 0},
      {"wraps modulo 65536", SINGLE, BIT_26, 32767, 1, -32513, 0},
      {"twin merges too", TWIN_MODEL, BIT_26, 240, 240, -3856, 0},
  };
  for (const RpmCase& c : cases) {
    SampleRecord sample;
    reset_sample(sample, c.model);
    sample.values[RPM_SLOT] = c.rpm;
    sample.values[RPM_HIGH_SLOT] = c.high;
    finish_sample(sample, c.flags, c.model);
    EXPECT_EQ(sample.values[RPM_SLOT], c.rpm_after) << c.label;
    EXPECT_EQ(sample.values[RPM_HIGH_SLOT], c.high_after) << c.label;
  }
}

TEST(ApplyRecord, SevenByteExample) {
  const std::vector<uint8_t> bytes = {0x01, 0x00, 0x00, 0x03, 0x05, 0x00, 0x07};
  SampleRecord sample;
  reset_sample(sample, SINGLE);
  SampleRecord expected = sample;
  apply(sample, bytes, SINGLE);
  expected.values[0] = 245;
  set_na(expected, 1);
  EXPECT_EQ(sample.values, expected.values);
  EXPECT_EQ(sample.na_bits, expected.na_bits);
}

TEST(ApplyRecord, ZeroDeltaMarksNaAndKeepsTheValue) {
  SampleRecord sample;
  reset_sample(sample, SINGLE);
  apply(sample, RecordSpec().change(9, 20).not_available(47), SINGLE);
  apply(sample, RecordSpec().not_available(9), SINGLE);
  EXPECT_TRUE(is_na(sample, 9));
  EXPECT_TRUE(is_na(sample, 47));
  EXPECT_EQ(sample.values[9], 260);
  // A later delta clears the mark and applies to the kept value.
  apply(sample, RecordSpec().change(9, -7), SINGLE);
  EXPECT_FALSE(is_na(sample, 9));
  EXPECT_EQ(sample.values[9], 253);
  EXPECT_TRUE(is_na(sample, 47));
}

TEST(ApplyRecord, ScaleBytes) {
  SampleRecord sample;
  reset_sample(sample, SINGLE);
  apply(sample, RecordSpec().not_available(2).not_available(25), SINGLE);
  // A zero scale byte changes neither the value nor the mark, set or clear.
  apply(sample, RecordSpec().scale(2, 0).scale(0, 0).scale(25, 0), SINGLE);
  EXPECT_TRUE(is_na(sample, 2));
  EXPECT_TRUE(is_na(sample, 25));
  EXPECT_FALSE(is_na(sample, 0));
  EXPECT_EQ(sample.values[0], 240);
  EXPECT_EQ(sample.values[2], 240);
  // A non-zero one clears the mark and counts 256 per unit, subtracted with the sign flag.
  apply(sample, RecordSpec().scale(2, 1).scale(31, 2, true).scale(7, 0x80), SINGLE);
  EXPECT_FALSE(is_na(sample, 2));
  EXPECT_EQ(sample.values[2], 240 + 256);
  EXPECT_EQ(sample.values[31], 240 - 512);
  EXPECT_EQ(sample.values[7], static_cast<int16_t>(240 + 0x8000));
  // Delta and scale of one slot together: -600 is delta 0x58 and scale 2, both subtracted.
  apply(sample, RecordSpec().change(3, -600), SINGLE);
  EXPECT_EQ(sample.values[3], 240 - 600);
}

TEST(ApplyRecord, ValuesWrapModulo65536) {
  SampleRecord sample;
  reset_sample(sample, SINGLE);
  sample.values[10] = 32767;
  sample.values[11] = -32768;
  apply(sample, RecordSpec().delta(10, 1).delta(11, 1, true), SINGLE);
  EXPECT_EQ(sample.values[10], -32768);
  EXPECT_EQ(sample.values[11], 32767);
}

TEST(ApplyRecord, SingleEngineRpmHighByte) {
  // Sign flag 41 set, 42 clear, deltas 0x10 and 3: RPM drops by 16 + 3 x 256 = 784.
  SampleRecord sample;
  reset_sample(sample, SINGLE);
  apply(sample, RecordSpec().delta(41, 0x10, true).delta(42, 3), SINGLE);
  EXPECT_EQ(sample.values[41], 240 - 16);
  EXPECT_EQ(sample.values[42], -3);
  finish_sample(sample, BIT_26, SINGLE);
  EXPECT_EQ(sample.values[41], 240 - 784);
  EXPECT_EQ(sample.values[42], 0);

  // A zero delta for slot 41 with a non-zero high byte leaves RPM available ...
  apply(sample, RecordSpec().delta(41, 0).delta(42, 1), SINGLE);
  EXPECT_FALSE(is_na(sample, 41));
  finish_sample(sample, BIT_26, SINGLE);
  EXPECT_EQ(sample.values[41], 240 - 784 + 256);
  // ... and without one marks it NA.
  apply(sample, RecordSpec().delta(41, 0), SINGLE);
  EXPECT_TRUE(is_na(sample, 41));
}

TEST(ApplyRecord, TwinSlot42IsAnOrdinaryValue) {
  SampleRecord sample;
  reset_sample(sample, TWIN_MODEL);
  apply(sample, RecordSpec().delta(41, 0, true).delta(42, 3), TWIN_MODEL);
  EXPECT_EQ(sample.values[42], 243);  // not negated
  EXPECT_TRUE(is_na(sample, 41));     // and not able to make RPM available
}

// The record rules applied the plain way, one slot at a time, as a check on the decoder's
// bit-set walks.
struct PlainRecord {
  bool complete = false;
  size_t checksum_offset = 0;
};

PlainRecord plain_apply(SampleRecord& sample, const std::vector<uint8_t>& record, uint16_t model) {
  uint8_t field[6] = {}, scale[2] = {}, sign[6] = {};
  size_t pos = 3;
  auto read = [&](uint8_t& out) {
    if (pos >= record.size()) return false;
    out = record[pos++];
    return true;
  };
  for (int i = 0; i < 6; ++i) {
    if ((record[0] >> i & 1) && !read(field[i])) return {};
  }
  for (int j = 0; j < 2; ++j) {
    if ((record[0] >> (6 + j) & 1) && !read(scale[j])) return {};
  }
  for (int i = 0; i < 6; ++i) {
    if ((record[1] >> i & 1) && !read(sign[i])) return {};
  }
  auto clear_na = [&](int slot) {
    sample.na_bits[slot / 8] = static_cast<uint8_t>(sample.na_bits[slot / 8] & ~(1 << slot % 8));
  };
  auto add = [&](int slot, int amount) {
    if (test_bit(sign, slot)) amount = -amount;
    sample.values[slot] = static_cast<int16_t>(sample.values[slot] + amount);
  };
  for (int slot = 0; slot < 48; ++slot) {
    if (!test_bit(field, slot)) continue;
    uint8_t delta = 0;
    if (!read(delta)) return {};
    if (delta == 0) {
      set_na(sample, slot);
    } else {
      clear_na(slot);
    }
    add(slot, delta);
  }
  for (int j = 0; j < 2; ++j) {
    for (int k = 0; k < 8; ++k) {
      if (!(scale[j] >> k & 1)) continue;
      uint8_t byte = 0;
      if (!read(byte)) return {};
      if (byte == 0) continue;
      clear_na(24 * j + k);
      add(24 * j + k, 256 * byte);
    }
  }
  if (pos >= record.size()) return {};
  if (model != TWIN_MODEL) {
    if (test_bit(sign, 41)) sample.values[42] = static_cast<int16_t>(-sample.values[42]);
    if (sample.values[42] != 0) clear_na(41);
  }
  return {true, pos};
}

void plain_finish(SampleRecord& sample, uint32_t flags, uint16_t model) {
  int n = 0;
  while (n < 9 && (flags >> (2 + n) & 1)) ++n;
  for (int e = 0; e < (model == TWIN_MODEL ? 2 : 1); ++e) {
    int16_t high = -1, low = 32767;
    for (int k = 0; k < n; ++k) {
      const int slot = k < 6 ? 24 * e + k : 18 + k;
      if (is_na(sample, slot)) continue;
      high = std::max(high, sample.values[slot]);
      low = std::min(low, sample.values[slot]);
    }
    sample.dif[e] = static_cast<int16_t>(high - low);
  }
  if (flags & BIT_26) {
    sample.values[41] = static_cast<int16_t>(sample.values[41] + 256 * sample.values[42]);
    sample.values[42] = 0;
  }
}

// Random records with random flag bytes, applied to random samples by both ways.
TEST(ApplyRecord, MatchesThePlainRulesOnRandomRecords) {
  std::mt19937 random(20240601);
  auto byte = [&](int chance_of_zero) {
    return random() % 100 < static_cast<unsigned>(chance_of_zero) ? uint8_t{0}
                                                                  : static_cast<uint8_t>(random());
  };
  int complete = 0;
  for (int round = 0; round < 20000; ++round) {
    const uint16_t model = round % 3 == 0 ? TWIN_MODEL : SINGLE;
    std::vector<uint8_t> record(3 + random() % 90);
    for (uint8_t& b : record) b = byte(30);
    SampleRecord sample;
    for (int16_t& v : sample.values) v = static_cast<int16_t>(random());
    for (uint8_t& b : sample.na_bits) b = byte(50);
    if (round % 4 == 0) sample.values[42] = 0;
    SampleRecord expected = sample;
    const PlainRecord plain = plain_apply(expected, record, model);

    RecordLayout layout;
    const bool complete_layout = read_record_layout(record, &layout);
    ASSERT_EQ(complete_layout, plain.complete) << "round " << round;
    if (!plain.complete) continue;
    ++complete;
    ASSERT_EQ(layout.checksum_offset, plain.checksum_offset) << "round " << round;
    apply_record(sample, record, layout, model);
    const uint32_t flags = static_cast<uint32_t>(random());
    plain_finish(expected, flags, model);
    finish_sample(sample, flags, model);
    ASSERT_EQ(sample.values, expected.values) << "round " << round;
    ASSERT_EQ(sample.na_bits, expected.na_bits) << "round " << round;
    ASSERT_EQ(sample.dif, expected.dif) << "round " << round;
  }
  EXPECT_GT(complete, 2000);  // the random records must reach the decoding often enough
}

// A FileState over an exact copy of `bytes`: a read past file_size is a heap overflow that
// the sanitizer build reports.
void load(FileState& state, const DataFileSpec& input, const std::vector<uint8_t>& bytes,
          uint32_t data_start) {
  state.input_path = "FLIGHTS.DAT";
  state.buffer.reset(new uint8_t[bytes.empty() ? 1 : bytes.size()]);
  if (!bytes.empty()) std::memcpy(state.buffer.get(), bytes.data(), bytes.size());
  state.buffer_capacity = static_cast<uint32_t>(bytes.size());
  state.file_size = static_cast<uint32_t>(bytes.size());
  state.config.model = input.model;
  state.config.feature_flags = input.feature_flags;
  state.config.firmware_version = static_cast<uint16_t>(std::stoi(input.firmware_version));
  state.legacy_threshold = input.model == TWIN_MODEL ? 140 : 300;
  state.flight_count = static_cast<uint32_t>(input.flights.size());
  state.data_start = data_start;
}

void set_directory(FileState& state, const DataFileSpec& input, const testdata::BuiltFile& built) {
  for (size_t i = 0; i < input.flights.size(); ++i) {
    state.flight_dir[i].flight_number = input.flights[i].flight_number;
    state.flight_dir[i].length_words =
        input.flights[i].length_words.value_or(static_cast<uint16_t>(built.flight_sizes[i] / 2));
  }
}

// Runs the flight walk in memory; the fatal message, or "" when the walk completes.
std::string walk(const FileState& state, const Options& options = {}) {
  CsvWriter csv;
  csv.discard_output = true;
  csv.fixed_now = 0;
  try {
    convert_flights(state, options, csv);
  } catch (const FatalError& error) {
    close_csv_file(csv);
    return error.message;
  }
  return "";
}

std::string walk(const DataFileSpec& input, const Options& options = {}) {
  const testdata::BuiltFile built = testdata::build_data_file(input);
  FileState state;
  load(state, input, built.bytes, built.data_start);
  set_directory(state, input, built);
  return walk(state, options);
}

FlightSpec good_flight(uint16_t number) {
  FlightSpec flight;
  flight.flight_number = number;
  flight.flags = cylinders(6) | 0x0001F800 | BIT_26;
  flight.date = testdata::pack_date(24, 6, 1);
  flight.time = testdata::pack_time(10, 0, 0);
  flight.records.push_back(RecordSpec().change(0, 600).change_rpm(2000).repeat(2));
  flight.records.push_back(RecordSpec().change(1, -30).not_available(8));
  flight.records.push_back(RecordSpec().change(24, 1000).scale(0, 1, true));
  return flight;
}

DataFileSpec two_flights() {
  DataFileSpec input;
  input.feature_flags = good_flight(1).flags;
  input.flights = {good_flight(1), good_flight(2)};
  return input;
}

struct WalkCase {
  const char* label;
  DataFileSpec input;
  uint16_t only_flight;
  const char* message;
};

TEST(ConvertFlights, ChecksInOrder) {
  std::vector<WalkCase> cases;
  auto add = [&](const char* label, uint16_t only, const char* message, auto change) {
    DataFileSpec input = two_flights();
    change(input);
    cases.push_back({label, input, only, message});
  };
  add("good file", 0, "", [](DataFileSpec&) {});
  add("no flight", 0, "", [](DataFileSpec& s) { s.flights.clear(); });
  add("last region ends at the end of the file", 0, "Data ends unexpectedly",
      [](DataFileSpec& s) { s.after_flights.clear(); });
  add("region runs past the end", 0, "Data ends unexpectedly",
      [](DataFileSpec& s) { s.flights[1].length_words = 40000; });
  add("six words", 0, "Flight 2 data length too short",
      [](DataFileSpec& s) { s.flights[1].length_words = 6; });
  add("skipped entry still too short", 1, "Flight 2 data length too short",
      [](DataFileSpec& s) { s.flights[1].length_words = 0; });
  add("skipped entry still past the end", 2, "Data ends unexpectedly",
      [](DataFileSpec& s) { s.flights[0].length_words = 40000; });
  add("skipped entry's header is not checked", 2, "",
      [](DataFileSpec& s) { s.flights[0].header_checksum = 0x5A; });
  add("header checksum", 0, "Flight header checksum failed",
      [](DataFileSpec& s) { s.flights[1].header_checksum = 0x5A; });
  add("header checksum comes before the number", 0, "Flight header checksum failed",
      [](DataFileSpec& s) {
        s.flights[0].header_flight_number = 9;
        s.flights[0].header_checksum = 0x5A;
      });
  add("numbers differ", 0, "Flight numbers don't match (65535 header, 2 data), invalid file",
      [](DataFileSpec& s) { s.flights[1].header_flight_number = 65535; });
  add("record checksum", 0, "Data checksum failed",
      [](DataFileSpec& s) { s.flights[1].records[2].checksum = 0x11; });
  add("record past the region", 0, "Unexpected end of data record", [](DataFileSpec& s) {
    s.flights[0].trailing = {0x01, 0x00, 0x00, 0xFF};
  });
  add("checksum byte at the region's end", 0, "Unexpected end of data record", [](DataFileSpec& s) {
    // A record of one delta byte whose checksum would be the first byte after the
    // region (the padding byte is its delta).
    s.flights[0].records = {RecordSpec().delta(0, 1)};
    s.flights[0].trailing = {0x01, 0x00, 0x00, 0x01};
  });
  add("rest of three bytes", 0, "", [](DataFileSpec& s) {
    s.flights[0].records = {RecordSpec().delta(0, 1)};
    s.flights[0].trailing = {0xFF, 0xFF, 0xFF};
  });
  for (const WalkCase& c : cases) {
    Options options;
    options.only_flight = c.only_flight;
    EXPECT_EQ(walk(c.input, options), c.message) << c.label;
  }
}

TEST(ConvertFlights, DataStartBeyondTheEnd) {
  // The "$L" line end was the file's last byte: data_start is one past the end.
  DataFileSpec input;
  input.flights = {good_flight(1)};
  const testdata::BuiltFile built = testdata::build_data_file(input);
  const std::vector<uint8_t> header(built.bytes.begin(), built.bytes.begin() + built.data_start);
  FileState state;
  load(state, input, header, built.data_start + 1);
  set_directory(state, input, built);
  EXPECT_EQ(walk(state), "Data ends unexpectedly");
  // The bounds check comes before the length check.
  state.flight_dir[0].length_words = 3;
  EXPECT_EQ(walk(state), "Data ends unexpectedly");
  state.flight_count = 0;
  EXPECT_EQ(walk(state), "");
}

bool is_known_message(const std::string& message) {
  static const std::set<std::string> known = {
      "",
      "Data ends unexpectedly",
      "Flight 1 data length too short",
      "Flight 2 data length too short",
      "Flight header checksum failed",
      "Data checksum failed",
      "Unexpected end of data record",
  };
  return known.count(message) != 0 || message.rfind("Flight numbers don't match (", 0) == 0;
}

// Every cut of the file, every length of the first flight and every damaged byte must end
// in success or one of the walk's messages, without reading outside the loaded bytes.
TEST(ConvertFlights, DamagedFilesNeverReadOutOfBounds) {
  const DataFileSpec input = two_flights();
  const testdata::BuiltFile built = testdata::build_data_file(input);
  for (size_t size = built.data_start; size <= built.bytes.size(); ++size) {
    FileState state;
    load(state, input, std::vector<uint8_t>(built.bytes.begin(), built.bytes.begin() + size),
         built.data_start);
    set_directory(state, input, built);
    const std::string message = walk(state);
    EXPECT_TRUE(is_known_message(message)) << "size " << size << ": " << message;
    if (size < built.bytes.size() - 1) {
      EXPECT_NE(message, "") << "size " << size;
    }
  }
  for (uint32_t words = 0; words <= built.flight_sizes[0] / 2 + 2; ++words) {
    FileState state;
    load(state, input, built.bytes, built.data_start);
    set_directory(state, input, built);
    state.flight_dir[0].length_words = static_cast<uint16_t>(words);
    const std::string message = walk(state);
    EXPECT_TRUE(is_known_message(message)) << "words " << words << ": " << message;
  }
  for (size_t at = built.data_start; at < built.bytes.size(); ++at) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> bytes = built.bytes;
      bytes[at] ^= flip;
      FileState state;
      load(state, input, bytes, built.data_start);
      set_directory(state, input, built);
      const std::string message = walk(state);
      EXPECT_TRUE(is_known_message(message)) << "byte " << at << ": " << message;
    }
  }
}

}  // namespace
}  // namespace datmend
