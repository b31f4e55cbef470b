#include "legacy/legacy_rewrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "driver/fatal_error.h"
#include "header/file_state.h"
#include "header/header_reader.h"
#include "platform/platform.h"
#include "support/data_builder.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

using testdata::ChecksumForm;
using testdata::DataFileSpec;
using testdata::FlightSpec;
using testdata::RecordSpec;
using Bytes = std::vector<uint8_t>;

constexpr char kNotice[] = "This data file is the older version and doesn't need to be changed\n";

// Three flights that use every part of the record layout: repeat counts, scale bytes,
// sign flags, flag bytes present but empty, a flight without records, leftover bytes at
// the end of a region, and bytes after the last region.
DataFileSpec varied_file() {
  DataFileSpec desc;
  desc.model = 700;
  desc.firmware_version = "300";

  FlightSpec first;
  first.flight_number = 12;
  first.flags = 0x0000007C;
  first.date = testdata::pack_date(25, 3, 14);
  first.time = testdata::pack_time(9, 30, 0);
  first.records.push_back(RecordSpec().change(0, 300).change(1, -5).delta(41, 0x10).repeat(2));
  first.records.push_back(RecordSpec());
  RecordSpec empty_flags;
  empty_flags.extra_decode_flags = 0x60;  // field-flag byte 5 and scale-flag byte 0, all zero
  empty_flags.extra_sign_presence = 0x24;
  first.records.push_back(empty_flags);
  RecordSpec everything;
  for (int slot = 0; slot < 48; ++slot) everything.delta(slot, static_cast<uint8_t>(slot + 1));
  for (int slot : {0, 7, 24, 31}) everything.scale(slot, 3, slot == 7);
  everything.negative.insert(45);
  first.records.push_back(everything);
  first.trailing = {0xFF, 0xFF};  // with the padding one to three bytes that hold no record

  FlightSpec second;
  second.flight_number = 13;
  second.interval = 2;

  FlightSpec third;
  third.flight_number = 14;
  third.flags = 0x0400003C;
  third.records.push_back(RecordSpec().change_rpm(2400).change(3, -200));
  third.records.push_back(RecordSpec().not_available(2).repeat(255));
  third.records.push_back(RecordSpec().change(30, 17).change(25, 1000));

  desc.flights = {first, second, third};
  desc.after_flights = {0x5A, 0xA5, 0x00};
  return desc;
}

// A value that is neither checksum form of `bytes`.
uint8_t wrong_checksum(const Bytes& bytes, size_t count) {
  const uint8_t sum = testdata::checksum_of(bytes.data(), count, ChecksumForm::kSum);
  const uint8_t x = testdata::checksum_of(bytes.data(), count, ChecksumForm::kXor);
  uint8_t value = 0x11;
  while (value == sum || value == x) ++value;
  return value;
}

uint8_t wrong_header_checksum(const FlightSpec& flight) {
  return wrong_checksum(testdata::encode_flight(flight), 14);
}

uint8_t wrong_record_checksum(const RecordSpec& record) {
  const Bytes bytes = testdata::encode_record(record, ChecksumForm::kSum);
  return wrong_checksum(bytes, bytes.size() - 1);
}

// Loads `bytes` as the driver does and reads the header. The buffer holds exactly the
// file, so a read past its end trips the sanitizers.
void load(FileState& state, const Bytes& bytes, const std::string& path) {
  reset_file_state(state);
  state.input_path = path;
  state.buffer = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), state.buffer.get());
  state.buffer_capacity = static_cast<uint32_t>(bytes.size());
  state.file_size = static_cast<uint32_t>(bytes.size());
  parse_header_records(state);
}

struct Outcome {
  std::string output;  // standard output of the rewrite
  bool failed = false;
  std::string message;  // the fatal error's text
};

// Runs the rewrite on `bytes` loaded from `path`; the file at `path` is left to the caller.
Outcome rewrite_at(const std::string& path, const Bytes& bytes) {
  FileState state;
  load(state, bytes, path);
  Outcome outcome;
  ::testing::internal::CaptureStdout();
  try {
    rewrite_legacy_file(state);
  } catch (const FatalError& error) {
    outcome.failed = true;
    outcome.message = error.message;
  }
  outcome.output = ::testing::internal::GetCapturedStdout();
  return outcome;
}

// Writes the input into `dir` under `name` and rewrites it.
Outcome rewrite(const testing::TempDir& dir, const std::string& name, const Bytes& bytes) {
  dir.write(name, bytes);
  return rewrite_at(dir.file(name), bytes);
}

// Expects a copy "R-MEND.DAT" with exactly `expected` beside the untouched input "R.DAT".
void expect_copy(const testing::TempDir& dir, const Bytes& input, const Bytes& expected) {
  const Outcome outcome = rewrite(dir, "R.DAT", input);
  ASSERT_FALSE(outcome.failed) << outcome.message;
  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"R-MEND.DAT", "R.DAT"}));
  EXPECT_EQ(dir.read_bytes("R-MEND.DAT"), expected);
  EXPECT_EQ(dir.read_bytes("R.DAT"), input);
}

TEST(LegacyRewrite, CopyCarriesXorChecksumsAndTheLoweredVersion) {
  struct Case {
    uint16_t model;
    const char* version;
    const char* lowered;
  };
  const Case cases[] = {
      {700, "300", "299"}, {760, "140", "139"}, {760, "301", "139"},
      {930, "999", "299"}, {0, "300", "299"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " " + c.version);
    DataFileSpec desc = varied_file();
    desc.model = c.model;
    desc.firmware_version = c.version;
    const Bytes input = testdata::build_bytes(desc);
    const Bytes expected = testdata::build_bytes(testdata::in_legacy_form(desc, c.lowered));
    ASSERT_EQ(input.size(), expected.size());
    ASSERT_NE(input, expected);
    testing::TempDir dir;
    expect_copy(dir, input, expected);
  }
}

TEST(LegacyRewrite, OlderVersionGetsTheNoticeAndNoCopy) {
  struct Case {
    uint16_t model;
    const char* version;
  };
  const Case cases[] = {{760, "139"}, {760, "001"}, {700, "299"}, {0, "100"}, {930, "0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " " + c.version);
    DataFileSpec desc = varied_file();
    desc.model = c.model;
    desc.firmware_version = c.version;
    // The notice comes before any flight is looked at, so even a damaged flight passes.
    desc.flights[1].header_checksum = wrong_header_checksum(desc.flights[1]);
    testing::TempDir dir;
    const Outcome outcome = rewrite(dir, "R.DAT", testdata::build_bytes(desc));
    EXPECT_FALSE(outcome.failed) << outcome.message;
    EXPECT_EQ(outcome.output, kNotice);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"R.DAT"});
  }
}

TEST(LegacyRewrite, HeaderOnlyChanges) {
  struct Case {
    const char* label;
    DataFileSpec desc;
    std::string lowered;
  };
  DataFileSpec no_flights;
  no_flights.flights.clear();
  DataFileSpec no_flights_no_tail = no_flights;
  no_flights_no_tail.after_flights.clear();  // "$L" is the last line of the file
  DataFileSpec no_config = varied_file();
  no_config.include_config = false;  // version and threshold both 0: the newer format
  DataFileSpec four_digits = varied_file();
  four_digits.firmware_version = "1000";  // not three characters: the text stays
  DataFileSpec spaced = varied_file();
  spaced.firmware_version = "  300";
  const Case cases[] = {
      {"no flights", no_flights, "299"},
      {"no flight data at all", no_flights_no_tail, "299"},
      {"no $C record", no_config, "300"},
      {"four-digit version", four_digits, "1000"},
      {"spaces before the version", spaced, "  299"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    testing::TempDir dir;
    expect_copy(dir, testdata::build_bytes(c.desc),
                testdata::build_bytes(testdata::in_legacy_form(c.desc, c.lowered)));
  }
}

// The carriage return of "$L" is the last byte: the flight data would start one byte past
// the end of the file, and a file without flights is still written whole.
TEST(LegacyRewrite, FileEndingInTheCarriageReturnOfTheLastRecord) {
  DataFileSpec desc;
  desc.after_flights.clear();
  Bytes input = testdata::build_bytes(desc);
  Bytes expected = testdata::build_bytes(testdata::in_legacy_form(desc, "299"));
  ASSERT_EQ(input.back(), '\n');
  input.pop_back();
  expected.pop_back();
  testing::TempDir dir;
  expect_copy(dir, input, expected);
}

TEST(LegacyRewrite, AcceptsEitherChecksumFormOnInput) {
  const DataFileSpec sum_form = varied_file();
  DataFileSpec mixed = sum_form;
  mixed.flights[0].form = ChecksumForm::kXor;
  mixed.flights[2].records[1].form = ChecksumForm::kXor;
  mixed.flights[0].records[3].form = ChecksumForm::kSum;
  const Bytes expected = testdata::build_bytes(testdata::in_legacy_form(sum_form, "299"));
  const std::pair<const char*, DataFileSpec> cases[] = {
      {"all in the XOR form", testdata::in_legacy_form(sum_form, "300")},
      {"mixed", mixed},
  };
  for (const auto& [label, desc] : cases) {
    SCOPED_TRACE(label);
    testing::TempDir dir;
    expect_copy(dir, testdata::build_bytes(desc), expected);
  }
}

TEST(LegacyRewrite, FlightNumberOfTheHeaderIsNotCompared) {
  DataFileSpec desc = varied_file();
  desc.flights[0].header_flight_number = 999;
  desc.flights[2].header_flight_number = 0;
  testing::TempDir dir;
  expect_copy(dir, testdata::build_bytes(desc),
              testdata::build_bytes(testdata::in_legacy_form(desc, "299")));
}

// One to three bytes at the end of a region hold no record and are copied as they are;
// four bytes are a record.
TEST(LegacyRewrite, LeftoverBytesOfARegionAreNotLookedAt) {
  RecordSpec five_bytes;
  five_bytes.extra_decode_flags = 0x01;
  struct Case {
    RecordSpec record;
    Bytes trailing;
  };
  const Case cases[] = {
      {RecordSpec(), {0xFF}},
      {five_bytes, {0xFF, 0xFF}},
      {RecordSpec(), {0xFF, 0xFF, 0xFF}},
      {RecordSpec(), {0x80, 0x80, 0x80}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trailing.size());
    DataFileSpec desc;
    FlightSpec flight;
    flight.records = {c.record};
    flight.trailing = c.trailing;
    flight.pad_to_even = false;
    desc.flights = {flight};
    const testdata::BuiltFile built = testdata::build_data_file(desc);
    ASSERT_EQ(built.flight_sizes[0] % 2, 0u);
    testing::TempDir dir;
    expect_copy(dir, built.bytes, testdata::build_bytes(testdata::in_legacy_form(desc, "299")));
  }
}

// A file whose flight `index` (no records) is exactly seven words long, so that its header
// checksum byte is the byte after its region: the first byte of the next flight, whose
// number is chosen to begin with it, or the first byte after the last region.
Bytes with_seven_word_flight(DataFileSpec desc, size_t index, uint8_t checksum) {
  FlightSpec& short_flight = desc.flights[index];
  short_flight.records.clear();
  short_flight.trailing.clear();
  short_flight.pad_to_even = false;
  short_flight.length_words = 7;
  short_flight.header_checksum = checksum;
  const bool last = index + 1 == desc.flights.size();
  if (!last) {
    desc.flights[index + 1].flight_number = static_cast<uint16_t>(checksum << 8 | 0x21);
  }
  const testdata::BuiltFile built = testdata::build_data_file(desc);
  Bytes bytes = built.bytes;
  if (!last) {
    // The next flight begins at the checksum byte: drop the builder's copy of it.
    bytes.erase(bytes.begin() + built.flight_offsets[index] + 14);
  }
  return bytes;
}

// The mended behaviour: the header checksum byte of a seven-word flight lies outside its
// region; it is verified but never overwritten, so the next flight's header (or the bytes
// after the last region) stay as they were.
TEST(LegacyRewrite, SevenWordFlightLeavesTheByteAfterItsRegionAlone) {
  for (const ChecksumForm form : {ChecksumForm::kSum, ChecksumForm::kXor}) {
    for (const size_t index : {size_t{0}, size_t{1}, size_t{2}}) {
      SCOPED_TRACE(std::to_string(index) + (form == ChecksumForm::kSum ? " sum" : " xor"));
      DataFileSpec desc = varied_file();
      if (form == ChecksumForm::kXor) desc = testdata::in_legacy_form(desc, "300");
      FlightSpec header_only = desc.flights[index];
      header_only.records.clear();
      header_only.trailing.clear();
      const Bytes region = testdata::encode_flight(header_only);
      const uint8_t sum = testdata::checksum_of(region.data(), 14, ChecksumForm::kSum);
      const uint8_t x = testdata::checksum_of(region.data(), 14, ChecksumForm::kXor);
      ASSERT_NE(sum, x);  // otherwise an overwrite would not show
      const uint8_t checksum = form == ChecksumForm::kSum ? sum : x;

      const Bytes input = with_seven_word_flight(desc, index, checksum);
      const Bytes expected =
          with_seven_word_flight(testdata::in_legacy_form(desc, "299"), index, checksum);
      testing::TempDir dir;
      expect_copy(dir, input, expected);
    }
  }
}

TEST(LegacyRewrite, EveryFailureLeavesNoCopy) {
  struct Case {
    const char* label;
    DataFileSpec desc;
    std::string message;
  };
  std::vector<Case> cases;
  auto add = [&](const char* label, DataFileSpec desc, std::string message) {
    cases.push_back({label, std::move(desc), std::move(message)});
  };

  DataFileSpec desc = varied_file();
  desc.after_flights.clear();
  add("last region ends at the end of the file", desc, "Data ends unexpectedly");

  desc = varied_file();
  desc.flights[1].length_words = 200;
  add("region runs past the end of the file", desc, "Data ends unexpectedly");

  desc = DataFileSpec();
  desc.extra_records = {testdata::header_record("D,5,3")};
  desc.after_flights.clear();
  add("no flight data, short entry: the end is checked first", desc, "Data ends unexpectedly");

  desc = DataFileSpec();
  desc.extra_records = {testdata::header_record("D,5,0")};
  desc.after_flights.clear();
  add("no flight data, empty entry", desc, "Data ends unexpectedly");

  desc = varied_file();
  desc.flights[1].flight_number = 7;
  desc.flights[1].length_words = 6;
  add("six words", desc, "Flight 7 data length too short");

  desc = varied_file();
  desc.flights[0].flight_number = 65535;
  desc.flights[0].length_words = 0;
  add("no words", desc, "Flight 65535 data length too short");

  desc = varied_file();
  desc.flights[2].header_checksum = wrong_header_checksum(desc.flights[2]);
  add("header checksum of the last flight", desc, "Flight header checksum failed");

  desc = varied_file();
  desc.flights[0].records[2].checksum = wrong_record_checksum(desc.flights[0].records[2]);
  add("record checksum of the first flight", desc, "Data checksum failed");

  desc = varied_file();
  desc.flights[2].records[2].checksum = wrong_record_checksum(desc.flights[2].records[2]);
  add("last record of the last flight", desc, "Data checksum failed");

  desc = varied_file();
  desc.flights[2].trailing = {0x00, 0x00, 0x00, 0x01};
  add("four bytes left are a record", desc, "Data checksum failed");

  // Cut by the directory: the rest of the record lies beyond the region, and a walk that
  // looked there would find it sound.
  desc = DataFileSpec();
  desc.flights.resize(1);
  desc.flights[0].records = {RecordSpec().change(0, 5).change(1, 6).change(2, 7)};
  desc.flights[0].length_words = 11;  // the checksum byte is the first byte after the region
  add("checksum byte past the region", desc, "Unexpected end of data record");

  desc.flights[0].records = {
      RecordSpec().change(0, 5).change(8, 1).change(16, 1).change(24, 1).change(32, 1).change(40,
                                                                                              1)};
  desc.flights[0].length_words = 10;  // region ends after the second field-flag byte
  add("flag bytes past the region", desc, "Unexpected end of data record");

  desc = varied_file();
  desc.flights[0].trailing = {0x3F, 0x00, 0x00, 0x00};
  add("leftover bytes announcing flag bytes", desc, "Unexpected end of data record");

  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    testing::TempDir dir;
    const Outcome outcome = rewrite(dir, "R.DAT", testdata::build_bytes(c.desc));
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"R.DAT"});
  }
}

TEST(LegacyRewrite, SevenWordFlightWhoseFollowingByteIsNoChecksum) {
  for (const size_t index : {size_t{1}, size_t{2}}) {
    SCOPED_TRACE(index);
    DataFileSpec desc = varied_file();
    FlightSpec header_only = desc.flights[index];
    header_only.records.clear();
    header_only.trailing.clear();
    const uint8_t wrong = wrong_header_checksum(header_only);
    testing::TempDir dir;
    const Outcome outcome = rewrite(dir, "R.DAT", with_seven_word_flight(desc, index, wrong));
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.message, "Flight header checksum failed");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"R.DAT"});
  }
}

// A file cut anywhere in its flight data is refused at the first region that does not end
// before the cut; a cut among the bytes after the last region still gives a whole copy.
TEST(LegacyRewrite, EveryTruncationOfTheFlightData) {
  const DataFileSpec desc = varied_file();
  const testdata::BuiltFile built = testdata::build_data_file(desc);
  const Bytes expected = testdata::build_bytes(testdata::in_legacy_form(desc, "299"));
  const size_t last_end = built.flight_offsets.back() + built.flight_sizes.back();
  for (size_t size = built.data_start; size < built.bytes.size(); ++size) {
    SCOPED_TRACE(size);
    const Bytes cut(built.bytes.begin(), built.bytes.begin() + static_cast<long>(size));
    testing::TempDir dir;
    const Outcome outcome = rewrite(dir, "R.DAT", cut);
    if (size <= last_end) {
      EXPECT_TRUE(outcome.failed);
      EXPECT_EQ(outcome.message, "Data ends unexpectedly");
      EXPECT_EQ(dir.list(), std::vector<std::string>{"R.DAT"});
    } else {
      ASSERT_FALSE(outcome.failed) << outcome.message;
      EXPECT_EQ(dir.read_bytes("R-MEND.DAT"),
                Bytes(expected.begin(), expected.begin() + static_cast<long>(size)));
    }
  }
}

// Any single damaged byte of the flight data gives either a copy of the whole file or one
// of the rewrite's messages, and never a read outside the file.
TEST(LegacyRewrite, EveryDamagedByteOfTheFlightData) {
  const testdata::BuiltFile built = testdata::build_data_file(varied_file());
  const std::set<std::string> messages = {"Data ends unexpectedly", "Flight header checksum failed",
                                          "Data checksum failed", "Unexpected end of data record"};
  testing::TempDir dir;
  for (size_t at = built.data_start; at < built.bytes.size(); ++at) {
    for (const int change : {0x00, 0xFF, built.bytes[at] ^ 0x01}) {
      SCOPED_TRACE(std::to_string(at) + " " + std::to_string(change));
      Bytes damaged = built.bytes;
      damaged[at] = static_cast<uint8_t>(change);
      const Outcome outcome = rewrite(dir, "R.DAT", damaged);
      if (outcome.failed) {
        EXPECT_EQ(messages.count(outcome.message), 1u) << outcome.message;
      } else {
        EXPECT_EQ(dir.read("R-MEND.DAT").size(), damaged.size());
      }
    }
  }
}

TEST(LegacyRewrite, NameOfTheCopy) {
  struct Case {
    std::string input;
    std::string copy;
  };
  const Case cases[] = {
      {"R250101.DAT", "R250101-MEND.DAT"},
      {"R250101.JPI", "R250101-MEND.DAT"},
      {"r250101.dat", "r250101-MEND.DAT"},
      {"R250101", "R250101-MEND.DAT"},
      {"R-MEND.DAT", "R-MEND-MEND.DAT"},
      {"a.b.JPI", "a.b-MEND.DAT"},
      {"R.", "R-MEND.DAT"},
      {".DAT", "-MEND.DAT"},
      {"logs.2025/R", "logs.2025/R-MEND.DAT"},
  };
  const Bytes input = testdata::build_bytes(varied_file());
  const Bytes expected = testdata::build_bytes(testdata::in_legacy_form(varied_file(), "299"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    testing::TempDir dir;
    std::filesystem::create_directory(dir.file("logs.2025"));
    const Outcome outcome = rewrite(dir, c.input, input);
    ASSERT_FALSE(outcome.failed) << outcome.message;
    EXPECT_EQ(dir.read_bytes(c.copy), expected);
    EXPECT_EQ(dir.read_bytes(c.input), input);
  }
}

// The copy keeps the input's directory as typed, "\\" separators included.
TEST(LegacyRewrite, CopyBesideAnInputNamedWithBackslashes) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.file("sub"));
  const Bytes input = testdata::build_bytes(varied_file());
  dir.write("sub/R.JPI", input);
  const Outcome outcome = rewrite_at(dir.path() + "\\sub\\R.JPI", input);
  ASSERT_FALSE(outcome.failed) << outcome.message;
  EXPECT_EQ(dir.read_bytes("sub/R-MEND.DAT"),
            testdata::build_bytes(testdata::in_legacy_form(varied_file(), "299")));
}

TEST(LegacyRewrite, ExistingCopyIsReplaced) {
  testing::TempDir dir;
  dir.write("R-MEND.DAT", Bytes(5000, 0xEE));
  const DataFileSpec desc = varied_file();
  expect_copy(dir, testdata::build_bytes(desc),
              testdata::build_bytes(testdata::in_legacy_form(desc, "299")));
}

#ifdef _WIN32
constexpr int kDirectoryError = EACCES;
#else
constexpr int kDirectoryError = EISDIR;
#endif

TEST(LegacyRewrite, CopyThatCannotBeCreated) {
  const Bytes input = testdata::build_bytes(varied_file());
  {
    SCOPED_TRACE("a directory of the copy's name");
    testing::TempDir dir;
    std::filesystem::create_directory(dir.file("R-MEND.DAT"));
    const Outcome outcome = rewrite(dir, "R.DAT", input);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.message, "Unable to open output file " + dir.file("R-MEND.DAT") + "\n" +
                                   platform::error_text(kDirectoryError));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("R-MEND.DAT")));
    EXPECT_EQ(dir.read_bytes("R.DAT"), input);
  }
  {
    SCOPED_TRACE("the input's directory is gone");
    testing::TempDir dir;
    const std::string path = dir.file("gone") + "/R.DAT";
    const Outcome outcome = rewrite_at(path, input);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.message, "Unable to open output file " + dir.file("gone") + "/R-MEND.DAT\n" +
                                   platform::error_text(ENOENT));
    EXPECT_TRUE(dir.list().empty());
  }
}

#ifndef _WIN32
// The name grows by "-MEND" and may outgrow what the system allows for one name: the whole
// name is tried, never a shortened one, and the system's refusal is reported.
TEST(LegacyRewrite, CopyNameTooLongForTheSystem) {
  testing::TempDir dir;
  const std::string name = std::string(251, 'R') + ".DAT";  // 255 characters, the most
  const Bytes input = testdata::build_bytes(varied_file());
  const Outcome outcome = rewrite(dir, name, input);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.message, "Unable to open output file " + dir.file(std::string(251, 'R')) +
                                 "-MEND.DAT\n" + platform::error_text(ENAMETOOLONG));
  EXPECT_EQ(dir.list(), std::vector<std::string>{name});
}

// A path longer than the home platform's limit that the system accepts is written whole.
TEST(LegacyRewrite, LongPathIsNotCut) {
  testing::TempDir dir;
  const std::string sub(200, 'd');
  std::filesystem::create_directory(dir.file(sub));
  const std::string name = sub + "/" + std::string(60, 'R') + ".DAT";
  const DataFileSpec desc = varied_file();
  const Outcome outcome = rewrite(dir, name, testdata::build_bytes(desc));
  ASSERT_FALSE(outcome.failed) << outcome.message;
  EXPECT_GT(dir.file(name).size(), 259u);
  EXPECT_EQ(dir.read_bytes(sub + "/" + std::string(60, 'R') + "-MEND.DAT"),
            testdata::build_bytes(testdata::in_legacy_form(desc, "299")));
}
#endif

#ifdef __linux__
// A device that takes no bytes: the copy is opened but cannot be written.
TEST(LegacyRewrite, CopyThatCannotBeWritten) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  testing::TempDir dir;
  std::filesystem::create_symlink("/dev/full", dir.file("R-MEND.DAT"));
  const Outcome outcome = rewrite(dir, "R.DAT", testdata::build_bytes(varied_file()));
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.message,
            "Error writing file " + dir.file("R-MEND.DAT") + "\n" + platform::error_text(ENOSPC));
}
#endif

TEST(LegacyRewrite, WriteWholeFileWritesExactlyTheBytes) {
  testing::TempDir dir;
  Bytes bytes(70000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  bytes[10] = '\n';
  bytes[11] = '\r';
  bytes[12] = 26;
  write_whole_file(dir.file("out.DAT"), bytes.data(), bytes.size());
  EXPECT_EQ(dir.read_bytes("out.DAT"), bytes);
  write_whole_file(dir.file("out.DAT"), bytes.data(), 3);
  EXPECT_EQ(dir.read_bytes("out.DAT"), Bytes(bytes.begin(), bytes.begin() + 3));
  write_whole_file(dir.file("out.DAT"), nullptr, 0);
  EXPECT_EQ(dir.read("out.DAT"), "");
#ifndef _WIN32
  // Ordinary permissions: readable and writable by the owner.
  const auto perms = std::filesystem::status(dir.file("out.DAT")).permissions();
  EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
  EXPECT_NE(perms & std::filesystem::perms::owner_read, std::filesystem::perms::none);
#endif
}

TEST(LegacyRewrite, WriteLegacyCopyUsesTheGivenExtensionAndSuffix) {
  testing::TempDir dir;
  FileState state;
  state.input_path = dir.file("R250101.JPI");
  const Bytes bytes = {1, 2, 3, 4, 5};
  state.buffer = std::make_unique<uint8_t[]>(8);
  std::copy(bytes.begin(), bytes.end(), state.buffer.get());
  state.buffer[5] = 0xEE;  // stale bytes past the file's end are not written
  state.buffer_capacity = 8;
  state.file_size = 5;
  write_legacy_copy(state, ".DAT", "-MEND");
  write_legacy_copy(state, "OUT", "_x");
  EXPECT_EQ(dir.read_bytes("R250101-MEND.DAT"), bytes);
  EXPECT_EQ(dir.read_bytes("R250101_x.OUT"), bytes);
}

}  // namespace
}  // namespace datmend
