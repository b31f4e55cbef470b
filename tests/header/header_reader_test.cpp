#include "header/header_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "driver/fatal_error.h"
#include "support/data_builder.h"

namespace datmend {
namespace {

using testdata::header_record;
using testdata::header_record_with_checksum;

// A FileState whose loaded file is `bytes`, in storage of exactly that size so that a read
// beyond the file is caught by the sanitizers. `stale` bytes, if any, follow in the buffer
// as leftovers of an earlier, larger file.
FileState loaded(std::string_view bytes, std::string_view stale = {}) {
  FileState state;
  state.buffer_capacity = static_cast<uint32_t>(bytes.size() + stale.size());
  state.buffer = std::make_unique<uint8_t[]>(state.buffer_capacity);
  std::copy(bytes.begin(), bytes.end(), state.buffer.get());
  std::copy(stale.begin(), stale.end(), state.buffer.get() + bytes.size());
  state.file_size = static_cast<uint32_t>(bytes.size());
  reset_file_state(state);
  return state;
}

std::string file_text(const FileState& state) {
  return std::string(reinterpret_cast<const char*>(state.buffer.get()), state.file_size);
}

// A record line without its line end: the text that messages print.
std::string text_of(const std::string& line) { return line.substr(0, line.find('\r')); }

// The message that parsing ends with, or nothing when it returns.
std::optional<std::string> parse_failure(FileState& state) {
  try {
    parse_header_records(state);
  } catch (const FatalError& error) {
    return error.message;
  }
  return std::nullopt;
}

std::optional<std::string> checksum_failure(std::string_view record) {
  try {
    verify_header_checksum(record);
  } catch (const FatalError& error) {
    return error.message;
  }
  return std::nullopt;
}

const std::string END = "$L,1*51\r\n";

TEST(HeaderReader, ReadsEveryRecordOfABuiltFile) {
  testdata::DataFileSpec desc;
  desc.model = 760;
  desc.feature_flags = 0x12345678;
  desc.config_word = 77;
  desc.firmware_version = "139";
  desc.aircraft_number = "N12345";
  desc.flights.resize(2);
  desc.flights[0].flight_number = 12;
  desc.flights[1].flight_number = 13;
  const testdata::BuiltFile built = testdata::build_data_file(desc);
  FileState state = loaded(std::string(built.bytes.begin(), built.bytes.end()));

  ASSERT_EQ(parse_failure(state), std::nullopt);
  EXPECT_EQ(state.aircraft_number, "N12345");
  EXPECT_EQ(state.a_values, (std::array<uint16_t, 8>{305, 230, 500, 415, 60, 1650, 230, 90}));
  EXPECT_EQ(state.f_values, (std::array<uint16_t, 5>{0, 999, 0, 2950, 2950}));
  EXPECT_EQ(state.t_values, (std::array<uint16_t, 6>{5, 17, 24, 9, 5, 0}));
  EXPECT_EQ(state.config.model, 760);
  EXPECT_EQ(state.config.feature_flags, 0x12345678u);
  EXPECT_EQ(state.config.config_word, 77);
  EXPECT_EQ(state.config.firmware_version, 139);
  EXPECT_EQ(state.legacy_threshold, 140);
  EXPECT_EQ(state.legacy_version_text, "139");
  ASSERT_EQ(state.flight_count, 2u);
  EXPECT_EQ(state.flight_dir[0].flight_number, 12);
  EXPECT_EQ(state.flight_dir[0].length_words, built.flight_sizes[0] / 2);
  EXPECT_EQ(state.flight_dir[1].flight_number, 13);
  EXPECT_EQ(state.flight_dir[1].length_words, built.flight_sizes[1] / 2);
  EXPECT_EQ(state.flight_dir[2].flight_number, 0);
  EXPECT_EQ(state.l_value, 1);
  EXPECT_EQ(state.data_start, built.data_start);
  EXPECT_EQ(file_text(state), std::string(built.bytes.begin(), built.bytes.end()));
}

TEST(HeaderReader, EveryTruncationBeforeTheEndOfLIsAnUnexpectedEnd) {
  testdata::DataFileSpec desc;
  desc.flights.resize(1);
  const testdata::BuiltFile built = testdata::build_data_file(desc);
  const std::string whole(built.bytes.begin(), built.bytes.end());
  // The header is complete once the carriage return of "$L" is in the file.
  const size_t complete = built.data_start - 1;
  for (size_t size = 0; size <= whole.size(); ++size) {
    FileState state = loaded(std::string_view(whole).substr(0, size));
    if (size < complete) {
      EXPECT_EQ(parse_failure(state), "Unexpected end of .DAT file") << size;
    } else {
      EXPECT_EQ(parse_failure(state), std::nullopt) << size;
      EXPECT_EQ(state.data_start, built.data_start) << size;
    }
  }
}

TEST(HeaderReader, WhereTheFlightDataStarts) {
  struct Case {
    const char* label;
    std::string bytes;
    uint32_t data_start;
  };
  const std::string binary("\x00\x0c\r\n$X*58\r\n", 10);
  const std::vector<Case> cases = {
      {"$L as the last line", "$L,1*51\r\n", 9},
      {"carriage return of $L is the last byte", "$L,1*51\r", 9},
      {"anything after $L is flight data", END + binary, 9},
      {"after other records", header_record("U,N1") + END, 19},
      {"byte after the carriage return is not looked at", "$L,1*51\r$", 9},
  };
  for (const Case& c : cases) {
    FileState state = loaded(c.bytes);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(parse_failure(state), std::nullopt) << c.label;
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.label;
    EXPECT_EQ(state.data_start, c.data_start) << c.label;
    EXPECT_EQ(state.l_value, 1) << c.label;
    EXPECT_EQ(file_text(state), c.bytes) << c.label;
  }
}

TEST(HeaderReader, FailureMessages) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string message;
  };
  const std::string u_line = header_record("U,N1");
  const std::string t_line = header_record("T,5,17,24,9,5");
  const std::string c_line = header_record("C,700,0,0,300");
  const std::string l_bare = header_record("L");
  std::string cr_only = u_line;
  cr_only.pop_back();
  std::string full_directory;
  for (int i = 0; i < 512; ++i) full_directory += header_record("D," + std::to_string(i) + ",7");

  const std::vector<Case> cases = {
      {"empty file", "", "Unexpected end of .DAT file"},
      {"no carriage return at all", "$L,1*51", "Unexpected end of .DAT file"},
      {"no $L before the end", u_line, "Unexpected end of .DAT file"},
      {"last line ends at the last byte", u_line.substr(0, u_line.size() - 1),
       "Unexpected end of .DAT file"},
      {"last record without a line end", u_line + "$L,1*51", "Unexpected end of .DAT file"},
      {"no star", "$L,1\r\n", "Header checksum format error: $L,1\n"},
      {"nothing after the star", "$L,1*\r\n", "Header checksum format error: $L,1*\n"},
      {"only white space after the star", "$L,1* \t\r\n",
       "Header checksum format error: $L,1* \t\n"},
      {"not a hexadecimal digit", "$L,1*G1\r\n", "Header checksum format error: $L,1*G1\n"},
      {"plus sign", "$L,1*+51\r\n", "Header checksum format error: $L,1*+51\n"},
      {"minus sign", "$L,1*-51\r\n", "Header checksum format error: $L,1*-51\n"},
      {"empty line", u_line + "\r\n" + END, "Header checksum format error: \n"},
      {"wrong checksum", "$L,1*52\r\n", "Header checksum failed: $L,1*52"},
      {"0x prefix reads as 0", "$L,1*0x51\r\n", "Header checksum failed: $L,1*0x51"},
      {"all of a 16-bit checksum counts", "$L,1*151\r\n", "Header checksum failed: $L,1*151"},
      {"checksum tested before the $", "#L,1*52\r\n", "Header checksum failed: #L,1*52"},
      {"correct checksum without $", "#L,1*51\r\n",
       "Expected $ at beginning of record:\n --> #L,1*51"},
      {"star first, empty checksum range", "*0\r\n", "Expected $ at beginning of record:\n --> *0"},
      {"carriage return alone ends a line", cr_only + END, "Header checksum failed: L,1*51"},
      {"too few values", t_line + END, "Not enough values (6): " + text_of(t_line) + "\n"},
      {"$C with four values", c_line + END, "Not enough values (5): " + text_of(c_line) + "\n"},
      {"$L without a value", l_bare, "Not enough values (1): " + text_of(l_bare) + "\n"},
      {"513th flight", full_directory + header_record("D,512,7") + END,
       "This program can only handle 512 flights per file"},
  };
  for (const Case& c : cases) {
    FileState state = loaded(c.bytes);
    EXPECT_EQ(parse_failure(state), c.message) << c.label;
  }
}

TEST(HeaderReader, ChecksumTexts) {
  struct Case {
    std::string record;
    std::optional<std::string> message;  // nothing: accepted
  };
  const std::vector<Case> cases = {
      {"$L,1*51", std::nullopt},
      {"$L,1*051", std::nullopt},
      {"$L,1*0051", std::nullopt},
      {"$L,1*10051", std::nullopt},  // the low 16 bits of a longer number
      {"$L,1* \t\v\f\n51", std::nullopt},
      {"$L,1*51 and more", std::nullopt},
      {"$D,1,8*4d", std::nullopt},
      {"$D,1,8*4D", std::nullopt},
      {"$U,N1*6", std::nullopt},
      {"$U,A*B*x", "Header checksum format error: $U,A*B*x\n"},
      {"*", "Header checksum format error: *\n"},
      {"", "Header checksum format error: \n"},
      {"$L,1*5 1", "Header checksum failed: $L,1*5 1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(checksum_failure(c.record), c.message) << c.record;
  }
  // The sum runs up to the last star; one inside the text is part of it.
  const std::string last_star = text_of(header_record("U,A*B"));
  EXPECT_EQ(checksum_failure(last_star), std::nullopt);
  char first_part[3];
  std::snprintf(first_part, sizeof first_part, "%02X", testdata::header_checksum("U,A"));
  const std::string first_star = "$U,A*B*" + std::string(first_part);
  EXPECT_EQ(checksum_failure(first_star), "Header checksum failed: " + first_star);
}

TEST(HeaderReader, ReadsValues) {
  struct Case {
    std::string record;
    size_t count;
    std::optional<std::vector<uint16_t>> expected;  // nothing: "Not enough values"
  };
  using Values = std::vector<uint16_t>;
  const std::vector<Case> cases = {
      {"$A,1,2,3,4,5,6,7,8*00", 8, Values{1, 2, 3, 4, 5, 6, 7, 8}},
      {"$A,1,2,3,4,5,6,7,8,9*00", 8, Values{1, 2, 3, 4, 5, 6, 7, 8}},
      {"$D, 12,\t\v\f\n34*00", 2, Values{12, 34}},
      {"$D,65537,65535", 2, Values{1, 65535}},
      {"$D,007,0", 2, Values{7, 0}},
      {"$D,12abc,34", 2, Values{12, 34}},
      {"$D,12,34,x", 2, Values{12, 34}},
      {"$T,5,17,24,9,5", 6, std::nullopt},
      {"$T,5,17,24,9,5,", 6, std::nullopt},
      {"$D,+1,2", 2, std::nullopt},
      {"$D,-1,2", 2, std::nullopt},
      {"$D,1, x", 2, std::nullopt},
      {"$D,1,,2", 2, std::nullopt},
      {"$D,1", 2, std::nullopt},
      {"$L", 1, std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<uint16_t> values(c.count, 0xFFFF);
    std::optional<std::string> message;
    try {
      read_header_values(values, c.record);
    } catch (const FatalError& error) {
      message = error.message;
    }
    if (c.expected) {
      EXPECT_EQ(message, std::nullopt) << c.record;
      EXPECT_EQ(values, *c.expected) << c.record;
    } else {
      EXPECT_EQ(message, "Not enough values (" + std::to_string(c.count) + "): " + c.record + "\n");
    }
  }
}

TEST(HeaderReader, FlightDirectoryHoldsUpTo512Entries) {
  std::string bytes;
  for (int i = 0; i < 512; ++i) {
    bytes += header_record("D," + std::to_string(1000 + i) + "," + std::to_string(i));
  }
  FileState state = loaded(bytes + END);
  ASSERT_EQ(parse_failure(state), std::nullopt);
  ASSERT_EQ(state.flight_count, 512u);
  for (uint32_t i = 0; i < 512; ++i) {
    EXPECT_EQ(state.flight_dir[i].flight_number, 1000 + i);
    EXPECT_EQ(state.flight_dir[i].length_words, i);
  }
}

TEST(HeaderReader, AircraftNumber) {
  struct Case {
    std::string body;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"U,N12345", "N12345"},
      {"U,ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNO"},
      {"U,ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO"},
      {"U,N12*34", "N12"},
      {"U,N 1", "N 1"},
      {"U;N1", "N1"},
      {"U,", ""},
      {"U", ""},
  };
  for (const Case& c : cases) {
    FileState state = loaded(header_record(c.body) + END);
    EXPECT_EQ(parse_failure(state), std::nullopt) << c.body;
    EXPECT_EQ(state.aircraft_number, c.expected) << c.body;
  }
}

TEST(HeaderReader, UnrecognizedRecordsAreReportedAndSkipped) {
  const std::string lower = header_record("u,N1");
  const std::string unknown = header_record("X,1,2");
  const std::string no_letter = header_record("");
  FileState state = loaded(lower + unknown + no_letter + header_record("U,N9") + END);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(parse_failure(state), std::nullopt);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Unrecognized header record:\n --> " + text_of(lower) +
                "\nUnrecognized header record:\n --> " + text_of(unknown) +
                "\nUnrecognized header record:\n --> " + text_of(no_letter) + "\n");
  EXPECT_EQ(state.aircraft_number, "N9");
  EXPECT_EQ(state.data_start, state.file_size);

  FileState at_end = loaded(unknown);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(parse_failure(at_end), "Unexpected end of .DAT file");
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Unrecognized header record:\n --> " + text_of(unknown) + "\n");
}

TEST(HeaderReader, RepeatedRecordsOverwrite) {
  const std::string first_config = header_record("C,700,1,2,3,300");
  const std::string second_config = header_record("C,760,4,5,6,139");
  const std::string bytes = header_record("U,FIRST") + header_record("A,1,2,3,4,5,6,7,8") +
                            first_config + header_record("U,SECOND") +
                            header_record("A,8,7,6,5,4,3,2,1") + second_config + END;
  FileState state = loaded(bytes);
  ASSERT_EQ(parse_failure(state), std::nullopt);
  EXPECT_EQ(state.aircraft_number, "SECOND");
  EXPECT_EQ(state.a_values, (std::array<uint16_t, 8>{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(state.config.model, 760);
  EXPECT_EQ(state.config.feature_flags, 0x50004u);
  EXPECT_EQ(state.config.config_word, 6);
  EXPECT_EQ(state.config.firmware_version, 139);
  EXPECT_EQ(state.legacy_threshold, 140);
  EXPECT_EQ(state.legacy_version_text, "139");
  // The first "$C" was of the newer format for its model and stays lowered.
  std::string expected = bytes;
  expected.replace(expected.find(first_config), first_config.size(),
                   header_record("C,700,1,2,3,299"));
  EXPECT_EQ(file_text(state), expected);
}

TEST(HeaderReader, WithoutConfigRecord) {
  const std::string bytes = header_record("U,N1") + header_record("D,3,7") + END;
  FileState state = loaded(bytes);
  ASSERT_EQ(parse_failure(state), std::nullopt);
  EXPECT_EQ(state.legacy_threshold, 0);
  EXPECT_EQ(state.config.firmware_version, 0);
  EXPECT_EQ(state.config.model, 0);
  EXPECT_EQ(state.legacy_version_text, "");
  EXPECT_EQ(file_text(state), bytes);
}

TEST(HeaderReader, ConfigVersionPatch) {
  struct Case {
    const char* label;
    std::string before;  // the "$C" line in the file
    std::string after;   // the line after reading
    uint16_t firmware_version;
    uint16_t threshold;
    const char* version_text;
  };
  const std::string hex = [] {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", testdata::header_checksum("C,700,0,0,0,300"));
    return std::string(digits);
  }();
  // This record's checksum is below 16, so it can be written with one digit.
  const std::string one_digit_body = "C,700,0,0,10a,300";
  ASSERT_EQ(testdata::header_checksum(one_digit_body), 0x0B);

  const std::vector<Case> cases = {
      {"twin below its threshold", header_record("C,760,0,0,0,139"),
       header_record("C,760,0,0,0,139"), 139, 140, "139"},
      {"twin at its threshold", header_record("C,760,0,0,0,140"), header_record("C,760,0,0,0,139"),
       140, 140, "139"},
      {"twin above its threshold", header_record("C,760,0,0,0,300"),
       header_record("C,760,0,0,0,139"), 300, 140, "139"},
      {"other model below", header_record("C,700,0,0,0,299"), header_record("C,700,0,0,0,299"), 299,
       300, "299"},
      {"other model at", header_record("C,700,0,0,0,300"), header_record("C,700,0,0,0,299"), 300,
       300, "299"},
      {"model 0", header_record("C,0,0,0,0,301"), header_record("C,0,0,0,0,299"), 301, 300, "299"},
      {"four-digit version", header_record("C,0,0,0,0,1000"), header_record("C,0,0,0,0,1000"), 1000,
       300, "299"},
      {"spaces before the version", header_record("C,700,0,0,0,  300"),
       header_record("C,700,0,0,0,  299"), 300, 300, "299"},
      {"a tab is not passed over", header_record("C,700,0,0,0,\t300"),
       header_record("C,700,0,0,0,\t300"), 300, 300, "299"},
      {"a space after the version", header_record("C,700,0,0,0,300 "),
       header_record("C,700,0,0,0,300 "), 300, 300, "299"},
      {"six values: the fifth compared, the last replaced", header_record("C,700,0,0,0,300,123"),
       header_record("C,700,0,0,0,300,299"), 300, 300, "299"},
      {"six values, fifth below", header_record("C,700,0,0,0,299,456"),
       header_record("C,700,0,0,0,299,456"), 299, 300, "299"},
      {"one-digit checksum", header_record_with_checksum(one_digit_body, "B"),
       header_record_with_checksum(one_digit_body, "B"), 300, 300, "299"},
      {"space and one digit", header_record_with_checksum(one_digit_body, " B"),
       header_record("C,700,0,0,10a,299"), 300, 300, "299"},
      {"three characters after the star", header_record_with_checksum("C,700,0,0,0,300", "0" + hex),
       header_record_with_checksum("C,700,0,0,0,300", "0" + hex), 300, 300, "299"},
      {"last comma after the star", header_record_with_checksum("C,700,0,0,0,300", hex + ","),
       header_record_with_checksum("C,700,0,0,0,300", hex + ","), 300, 300, "299"},
  };
  for (const Case& c : cases) {
    const std::string head = header_record("U,N1");
    const std::string tail = header_record("D,1,7") + END + std::string("\x01\x02\r\n", 4);
    FileState state = loaded(head + c.before + tail);
    ASSERT_EQ(parse_failure(state), std::nullopt) << c.label;
    EXPECT_EQ(file_text(state), head + c.after + tail) << c.label;
    EXPECT_EQ(state.config.firmware_version, c.firmware_version) << c.label;
    EXPECT_EQ(state.legacy_threshold, c.threshold) << c.label;
    EXPECT_EQ(state.legacy_version_text, c.version_text) << c.label;
    EXPECT_EQ(state.flight_count, 1u) << c.label;
    EXPECT_EQ(state.data_start, head.size() + c.before.size() + tail.size() - 4) << c.label;

    // The result reads again without error.
    FileState again = loaded(file_text(state));
    EXPECT_EQ(parse_failure(again), std::nullopt) << c.label;
  }
}

TEST(HeaderReader, StaleBytesBeyondTheFileAreNeverRead) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string stale;
    std::optional<std::string> message;
    uint32_t data_start;
  };
  const std::string u_line = header_record("U,N1");
  const std::vector<Case> cases = {
      {"next record only in the stale part", u_line, END, "Unexpected end of .DAT file", 0},
      {"line end only in the stale part", "$L,1*51", "\r\n", "Unexpected end of .DAT file", 0},
      {"checksum digit only in the stale part", "$L,1*5", "1\r\n", "Unexpected end of .DAT file",
       0},
      {"line end cut after the carriage return", u_line + "$L,1*51\r", "\n$X*58\r\n", std::nullopt,
       static_cast<uint32_t>(u_line.size() + 9)},
  };
  for (const Case& c : cases) {
    FileState state = loaded(c.bytes, c.stale);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(parse_failure(state), c.message) << c.label;
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.label;
    if (!c.message) {
      EXPECT_EQ(state.data_start, c.data_start) << c.label;
    }
  }
}

TEST(HeaderReader, NulByteEndsTheRecordText) {
  // The checksum here would be right for the whole line up to the carriage return.
  const std::string body("U,N1\0X", 6);
  FileState cut = loaded(header_record(body) + END);
  EXPECT_EQ(parse_failure(cut), "Header checksum format error: $U,N1\n");

  const std::string after_checksum = std::string("$L,1*51\0zz\r\n", 12);
  FileState accepted = loaded(after_checksum);
  EXPECT_EQ(parse_failure(accepted), std::nullopt);
  EXPECT_EQ(accepted.data_start, 12u);

  FileState notice = loaded(std::string("$X*58\0zz\r\n", 10) + END);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(parse_failure(notice), std::nullopt);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Unrecognized header record:\n --> $X*58\n");
}

}  // namespace
}  // namespace datmend
