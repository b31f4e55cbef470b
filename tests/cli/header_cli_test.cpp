// The header records end to end: the real program on data files whose "$" records are
// damaged, with the whole standard output and the exit status compared.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/data_builder.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

using testdata::header_record;
using testdata::header_record_with_checksum;
using testing::CliOptions;
using testing::CliResult;
using testing::stdout_text;
using testing::TempDir;

const std::string END = header_record("L,1");

std::vector<uint8_t> as_bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::string text_of(const std::string& line) { return line.substr(0, line.find('\r')); }

CliResult run_in(const TempDir& dir, const std::vector<std::string>& args) {
  CliOptions options;
  options.working_dir = dir.path();
  options.env = {{"TZ", "UTC0"}};
  return testing::run_datmend(args, options);
}

TEST(HeaderCli, EveryHeaderFailureEndsTheRunAfterThePath) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string message;
  };
  const std::string u_line = header_record("U,N12345");
  const std::string t_line = header_record("T,5,17,24,9,5");
  std::string full_directory;
  for (int i = 0; i < 512; ++i) full_directory += header_record("D," + std::to_string(i) + ",7");
  const std::vector<Case> cases = {
      {"no $L", u_line, "Unexpected end of .DAT file"},
      {"no line end", u_line + "$L,1*51", "Unexpected end of .DAT file"},
      {"no star", "$U,N12345\r\n" + END, "Header checksum format error: $U,N12345\n"},
      {"sign before the checksum", "$L,1*+51\r\n", "Header checksum format error: $L,1*+51\n"},
      {"wrong checksum", header_record_with_checksum("U,N12345", "00") + END,
       "Header checksum failed: $U,N12345*00"},
      {"no $", "#L,1*51\r\n", "Expected $ at beginning of record:\n --> #L,1*51"},
      {"513 flights", full_directory + header_record("D,512,7") + END,
       "This program can only handle 512 flights per file"},
      {"too few values", u_line + t_line + END, "Not enough values (6): " + text_of(t_line) + "\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("H.DAT", as_bytes(c.bytes));
    const CliResult result = run_in(dir, {"H.DAT"});
    EXPECT_EQ(result.exit_status, 1) << c.label;
    EXPECT_EQ(result.output, stdout_text("H.DAT\n" + c.message)) << c.label;
    EXPECT_EQ(dir.list(), std::vector<std::string>{"H.DAT"}) << c.label;
  }
}

TEST(HeaderCli, UnrecognizedRecordIsANoticeAndTheRunGoesOn) {
  const std::string unknown = header_record("X,1,2");
  const std::string lower = header_record("u,lower");
  const std::string bytes =
      header_record("U,N12345") + unknown + header_record("C,700,0,0,0,300") + lower + END;
  TempDir dir;
  dir.write("H.DAT", as_bytes(bytes));
  const CliResult result = run_in(dir, {"H.DAT", "H.DAT"});
  EXPECT_EQ(result.exit_status, 0);
  const std::string notices = "Unrecognized header record:\n --> " + text_of(unknown) +
                              "\nUnrecognized header record:\n --> " + text_of(lower) + "\n";
  EXPECT_EQ(result.output, stdout_text("H.DAT\n" + notices + "H.DAT\n" + notices));
  // No "$D": nothing to convert.
  EXPECT_EQ(dir.list(), std::vector<std::string>{"H.DAT"});
}

TEST(HeaderCli, StaleBytesOfALargerFileAreNoPartOfTheNext) {
  // The second file is the first cut just before the carriage return of "$L": the rest of
  // "$L" still sits in the buffer from the first file.
  const std::string whole = header_record("U,N12345") + header_record("C,700,0,0,0,299") + END;
  const std::string cut = whole.substr(0, whole.size() - 2);
  TempDir dir;
  dir.write("A.DAT", as_bytes(whole));
  dir.write("B.DAT", as_bytes(cut));
  const CliResult result = run_in(dir, {"A.DAT", "B.DAT"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, stdout_text("A.DAT\nB.DAT\nUnexpected end of .DAT file"));
}

TEST(HeaderCli, LegacyCopyCarriesTheLoweredVersion) {
  struct Case {
    const char* label;
    std::string config;    // the "$C" line of the input
    std::string expected;  // the "$C" line of the copy
  };
  const std::vector<Case> cases = {
      {"version lowered", header_record("C,760,0,0,0,200"), header_record("C,760,0,0,0,139")},
      {"version of four digits kept", header_record("C,700,0,0,0,1000"),
       header_record("C,700,0,0,0,1000")},
      // The checksum of this record is 0x0B, written with one digit: two digits would not
      // fit before the line end, so the record is copied as it stands.
      {"one-digit checksum kept", header_record_with_checksum("C,700,0,0,10a,300", "B"),
       header_record_with_checksum("C,700,0,0,10a,300", "B")},
  };
  for (const Case& c : cases) {
    const std::string head = header_record("U,N12345");
    TempDir dir;
    dir.write("H.DAT", as_bytes(head + c.config + END));
    const CliResult result = run_in(dir, {"-r", "H.DAT"});
    EXPECT_EQ(result.exit_status, 0) << c.label;
    EXPECT_EQ(result.output, stdout_text("H.DAT\n")) << c.label;
    ASSERT_TRUE(dir.exists("H-MEND.DAT")) << c.label;
    EXPECT_EQ(dir.read("H-MEND.DAT"), head + c.expected + END) << c.label;
    EXPECT_EQ(dir.read("H.DAT"), head + c.config + END) << c.label;
  }
}

}  // namespace
}  // namespace datmend
