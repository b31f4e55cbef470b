// What the Windows platform layer must get right beyond the POSIX one: the directory
// search's own matching through short names, the text mode of standard output against the
// binary mode of data files, TZ in its POSIX form, and paths that begin with a drive.
#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "driver/path_pieces.h"
#include "driver/switches.h"
#include "platform/platform.h"
#include "support/cli_runner.h"
#include "support/data_builder.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

using testing::CliOptions;
using testing::run_datmend;
using testing::stdout_text;
using testing::TempDir;

std::vector<std::string> find_sorted(const std::string& directory, const std::string& pattern,
                                     bool* found) {
  std::vector<std::string> names;
  *found = platform::find_matching_entries(directory, pattern, &names);
  std::sort(names.begin(), names.end());
  return names;
}

std::string with_slashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The system's own search finds "x.datx" for "*.dat" through its short name "X~....DAT";
// only the names themselves may decide.
TEST(Win32Search, MatchesLongNamesOnly) {
  TempDir dir;
  dir.write("x.datx", "1");
  dir.write("a.dat", "2");
  dir.write("Long Name Here.DAT", "3");
  dir.write("b.jpi", "4");
  std::filesystem::create_directory(dir.file("sub.dat"));
  const std::string directory = dir.path() + "\\";
  struct Case {
    std::string pattern;
    std::vector<std::string> names;  // sorted
  };
  const std::vector<Case> cases = {
      {"*.dat", {"Long Name Here.DAT", "a.dat", "sub.dat"}},
      {"*.DAT", {"Long Name Here.DAT", "a.dat", "sub.dat"}},
      {"?.dat", {"a.dat"}},
      {"x.dat", {}},
      {"*.dat?", {"x.datx"}},
      {"A.DAT", {"a.dat"}},
      {"long*", {"Long Name Here.DAT"}},
      {"*", {".", "..", "Long Name Here.DAT", "a.dat", "b.jpi", "sub.dat", "x.datx"}},
      {"LONG~*", {}},
  };
  for (const Case& c : cases) {
    bool found = false;
    EXPECT_EQ(find_sorted(directory, c.pattern, &found), c.names) << c.pattern;
    EXPECT_EQ(found, !c.names.empty()) << c.pattern;
    EXPECT_EQ(platform::last_error(), ENOENT) << c.pattern;
  }
}

TEST(Win32Search, DirectoryThatCannotBeSearched) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("data"));
  dir.write("data\\a.dat", "1");
  for (const std::string& directory :
       {dir.path() + "\\missing\\", dir.path() + "\\da*\\", dir.path() + "\\d?ta\\"}) {
    bool found = true;
    EXPECT_TRUE(find_sorted(directory, "*", &found).empty()) << directory;
    EXPECT_FALSE(found) << directory;
    EXPECT_EQ(platform::last_error(), ENOENT) << directory;
  }
  bool found = false;
  EXPECT_EQ(find_sorted(with_slashes(dir.path()) + "/data/", "*.DAT", &found),
            std::vector<std::string>{"a.dat"});
}

// The runtime must hand "*.dat" over as typed: expanded, "-x.dat" would read as a switch.
TEST(Win32Cli, ArgumentsReachTheProgramUnexpanded) {
  TempDir dir;
  dir.write("-x.dat", "");
  dir.write("x.datx", "1");
  CliOptions options;
  options.working_dir = dir.path();
  const testing::CliResult result = run_datmend({"*.dat"}, options);
  EXPECT_EQ(result.output,
            stdout_text("-x.dat\nError reading file -x.dat\nNo such file or directory"));
  EXPECT_EQ(result.exit_status, 1);

  std::filesystem::remove(dir.file("-x.dat"));
  const testing::CliResult none = run_datmend({"*.dat"}, options);
  EXPECT_EQ(none.output, "Unable to find file *.dat");
  EXPECT_EQ(none.exit_status, 1);
}

TEST(Win32Cli, StandardOutputEndsLinesWithCrLf) {
  std::string usage;
  for (const char* p = USAGE_TEXT; *p != '\0'; ++p) {
    if (*p == '\n') usage += '\r';
    usage += *p;
  }
  const testing::CliResult result = run_datmend({});
  EXPECT_EQ(result.output, usage);
  EXPECT_EQ(result.output, stdout_text(USAGE_TEXT));
  EXPECT_EQ(result.output.substr(0, 36), "DATMEND [-r] [-s] [-f#] datfiles\r\n\r\n");
  EXPECT_EQ(result.exit_status, 0);

  const testing::CliResult error = run_datmend({"-x"});
  EXPECT_EQ(error.output, "Unknown switch -x\r\n");
  EXPECT_EQ(error.exit_status, 1);
}

// Data files and legacy copies are raw bytes: no CR LF translation, no end at byte 26.
TEST(Win32Files, ReadAndWriteRawBytes) {
  TempDir dir;
  const std::string bytes(
      "a\nb\r\nc\x1a"
      "d\r\r\n\x1a",
      11);
  int error = 0;
  {
    platform::File out = platform::create_for_writing(dir.file("raw.dat"), &error);
    ASSERT_TRUE(out.is_open());
    ASSERT_TRUE(platform::write_bytes(out, bytes.data(), bytes.size(), &error));
  }
  EXPECT_EQ(dir.read("raw.dat"), bytes);
  platform::File in = platform::open_for_reading(dir.file("raw.dat"), &error);
  ASSERT_TRUE(in.is_open());
  uint64_t size = 0;
  ASSERT_TRUE(platform::file_size(in, &size, &error));
  EXPECT_EQ(size, bytes.size());
  std::string back(bytes.size() + 4, '\0');
  EXPECT_EQ(platform::read_bytes(in, back.data(), back.size(), &error),
            static_cast<int64_t>(bytes.size()));
  back.resize(bytes.size());
  EXPECT_EQ(back, bytes);
}

TEST(Win32Files, OpenFailuresCarryTheRuntimeTexts) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("sub"));
  struct Case {
    std::string path;
    int error;
    const char* text;
  };
  const std::vector<Case> cases = {
      {dir.file("missing.dat"), ENOENT, "No such file or directory"},
      {dir.file("nodir\\a.dat"), ENOENT, "No such file or directory"},
      {dir.file("sub"), EACCES, "Permission denied"},
      {dir.path(), EACCES, "Permission denied"},
  };
  for (const Case& c : cases) {
    int error = 0;
    const platform::File file = platform::open_for_reading(c.path, &error);
    EXPECT_FALSE(file.is_open()) << c.path;
    EXPECT_EQ(error, c.error) << c.path;
    EXPECT_EQ(platform::last_error(), c.error) << c.path;
    EXPECT_EQ(platform::error_text(error), c.text) << c.path;
  }
}

// Two short flights with their CSV files F00001-MEND.CSV and F00002-MEND.CSV.
std::vector<uint8_t> two_flights() {
  testdata::DataFileSpec desc;
  desc.feature_flags = 0x0000787C;  // E1 to E5, C1 to C4
  testdata::FlightSpec flight;
  flight.flags = desc.feature_flags;
  flight.date = testdata::pack_date(25, 7, 4);
  flight.time = testdata::pack_time(9, 0, 0);
  flight.records = {testdata::RecordSpec().change(0, 1100), testdata::RecordSpec().change(1, -40)};
  desc.flights = {flight, flight};
  desc.flights[1].flight_number = 2;
  return testdata::build_bytes(desc);
}

// A handle of another program on a file, closed at the end of the test.
struct OtherProgramsHandle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  OtherProgramsHandle() = default;
  OtherProgramsHandle(const OtherProgramsHandle&) = delete;
  OtherProgramsHandle& operator=(const OtherProgramsHandle&) = delete;
  ~OtherProgramsHandle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

enum class Obstacle { kDirectory, kReadOnlyFile, kHeldWithoutSharing };

// An output that cannot be created: a directory in its place, a read-only file, a file
// another program holds open without sharing. The run ends with the system's text; files
// finished before stay whole, and the obstacle is left as it was.
TEST(Win32Faults, OutputsThatCannotBeCreated) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    const char* name;
    Obstacle obstacle;
    std::string output;
  };
  const std::vector<Case> cases = {
      {"directory for the second CSV file",
       {"IN.DAT"},
       "F00002-MEND.CSV",
       Obstacle::kDirectory,
       "IN.DAT\nUnable to open output file F00002-MEND.CSV:\nPermission denied"},
      {"read-only CSV file",
       {"IN.DAT"},
       "F00001-MEND.CSV",
       Obstacle::kReadOnlyFile,
       "IN.DAT\nUnable to open output file F00001-MEND.CSV:\nPermission denied"},
      {"CSV file held",
       {"-s", "IN.DAT"},
       "F00002.CSV",
       Obstacle::kHeldWithoutSharing,
       "IN.DAT\nUnable to open output file F00002.CSV:\nPermission denied"},
      {"read-only legacy copy",
       {"-r", "IN.DAT"},
       "IN-MEND.DAT",
       Obstacle::kReadOnlyFile,
       "IN.DAT\nUnable to open output file IN-MEND.DAT\nPermission denied"},
      {"legacy copy held",
       {"-r", "IN.DAT"},
       "IN-MEND.DAT",
       Obstacle::kHeldWithoutSharing,
       "IN.DAT\nUnable to open output file IN-MEND.DAT\nPermission denied"},
  };
  const std::vector<uint8_t> input = two_flights();
  TempDir good;
  good.write("IN.DAT", input);
  CliOptions good_options;
  good_options.working_dir = good.path();
  good_options.env = {{"TZ", "UTC0"}};
  ASSERT_EQ(run_datmend({"IN.DAT"}, good_options).exit_status, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    dir.write("IN.DAT", input);
    OtherProgramsHandle held;
    switch (c.obstacle) {
      case Obstacle::kDirectory:
        std::filesystem::create_directory(dir.file(c.name));
        break;
      case Obstacle::kReadOnlyFile:
        dir.write(c.name, "old");
        ASSERT_TRUE(SetFileAttributesA(dir.file(c.name).c_str(), FILE_ATTRIBUTE_READONLY));
        // Wine keeps the attribute as permission bits, which do not hold for root.
        held.handle = CreateFileA(dir.file(c.name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held.handle != INVALID_HANDLE_VALUE) {
          CloseHandle(held.handle);
          held.handle = INVALID_HANDLE_VALUE;
          SetFileAttributesA(dir.file(c.name).c_str(), FILE_ATTRIBUTE_NORMAL);
          std::printf("read-only files are writable here: \"%s\" not checked\n", c.label);
          continue;
        }
        break;
      case Obstacle::kHeldWithoutSharing:
        held.handle = CreateFileA(dir.file(c.name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
        break;
    }
    CliOptions options = good_options;
    options.working_dir = dir.path();
    const testing::CliResult result = run_datmend(c.args, options);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.output, stdout_text(c.output));
    if (std::string(c.name) == "F00002-MEND.CSV") {
      EXPECT_EQ(dir.read("F00001-MEND.CSV"), good.read("F00001-MEND.CSV"));
    }
    if (c.obstacle == Obstacle::kReadOnlyFile) {
      EXPECT_EQ(dir.read(c.name), "old");
      SetFileAttributesA(dir.file(c.name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(testdata::read_file(dir.file("IN.DAT")), input);
  }
}

// The program reads without locking others out, and is refused only by a program that
// holds the file without sharing it.
TEST(Win32Faults, InputOpenInAnotherProgram) {
  const std::vector<uint8_t> input = two_flights();
  for (const DWORD sharing : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}, DWORD{0}}) {
    TempDir dir;
    dir.write("IN.DAT", input);
    OtherProgramsHandle held;
    held.handle = CreateFileA(dir.file("IN.DAT").c_str(), GENERIC_READ | GENERIC_WRITE, sharing,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    CliOptions options;
    options.working_dir = dir.path();
    options.env = {{"TZ", "UTC0"}};
    const testing::CliResult result = run_datmend({"IN.DAT"}, options);
    if (sharing != 0) {
      EXPECT_EQ(result.exit_status, 0);
      EXPECT_EQ(result.output, stdout_text("IN.DAT\n"));
      EXPECT_TRUE(dir.exists("F00002-MEND.CSV"));
    } else {
      EXPECT_EQ(result.exit_status, 1);
      EXPECT_EQ(result.output,
                stdout_text("IN.DAT\nUnable to open file IN.DAT\nPermission denied"));
      EXPECT_FALSE(dir.exists("F00001-MEND.CSV"));
    }
  }
}

// Sets TZ for one test and puts the old value back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    _putenv_s("TZ", zone);
    platform::reload_time_zone();
  }
  ~ScopedTimeZone() {
    _putenv_s("TZ", old_ ? old_->c_str() : "");
    platform::reload_time_zone();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> old_;
};

TEST(Win32LocalTime, PosixZoneWithDaylightSaving) {
  struct Case {
    const char* zone;
    platform::LocalTime local;
    int64_t calendar;
    const char* label;
  };
  const std::vector<Case> cases = {
      {"EST5EDT", {2021, 1, 15, 12, 0, 0}, 1610730000, "winter: UTC-5"},
      {"EST5EDT", {2021, 7, 4, 12, 0, 0}, 1625414400, "summer: UTC-4"},
      {"EST5EDT", {2021, 0, 1, 0, 0, 0}, 1606798800, "month 0 is December before"},
      {"EST5EDT", {2021, 7, 4, 24, 0, 0}, 1625457600, "hour 24 is the next day"},
      {"UTC0", {2021, 7, 4, 12, 0, 0}, 1625400000, "no offset"},
      {"UTC0", {1970, 1, 1, 0, 0, 0}, 0, "the first second"},
  };
  for (const Case& c : cases) {
    ScopedTimeZone zone(c.zone);
    EXPECT_EQ(platform::local_to_calendar(c.local), c.calendar) << c.label;
    const std::optional<platform::LocalTime> back = platform::calendar_to_local(c.calendar);
    ASSERT_TRUE(back.has_value()) << c.label;
    EXPECT_EQ(platform::local_to_calendar(*back), c.calendar) << c.label;
  }
  ScopedTimeZone zone("EST5EDT");
  const std::optional<platform::LocalTime> summer = platform::calendar_to_local(1625414400);
  ASSERT_TRUE(summer.has_value());
  EXPECT_EQ(summer->hour, 12);
  EXPECT_EQ(summer->day, 4);
}

// Without TZ the zone setting of the system decides; the system's own conversion agrees.
TEST(Win32LocalTime, SystemZoneWithoutTz) {
  ScopedTimeZone zone("");
  for (int64_t t = 1704067200; t < 1735689600; t += 86400 * 7 + 3607) {
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(t + 11644473600) * 10000000;
    FILETIME file_time;
    file_time.dwLowDateTime = ticks.LowPart;
    file_time.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME utc;
    SYSTEMTIME local;
    ASSERT_TRUE(FileTimeToSystemTime(&file_time, &utc));
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    const std::optional<platform::LocalTime> mine = platform::calendar_to_local(t);
    ASSERT_TRUE(mine.has_value()) << t;
    EXPECT_EQ(mine->year, local.wYear) << t;
    EXPECT_EQ(mine->month, local.wMonth) << t;
    EXPECT_EQ(mine->day, local.wDay) << t;
    EXPECT_EQ(mine->hour, local.wHour) << t;
    EXPECT_EQ(mine->minute, local.wMinute) << t;
  }
}

TEST(Win32LocalTime, BeforeNineteenSeventyIsEmpty) {
  ScopedTimeZone zone("UTC0");
  EXPECT_EQ(platform::local_to_calendar({1969, 12, 31, 23, 59, 59}), std::nullopt);
  EXPECT_EQ(platform::calendar_to_local(-1), std::nullopt);
}

TEST(Win32Paths, DriveLetterPieces) {
  struct Case {
    const char* path;
    PathPieces pieces;
  };
  const std::vector<Case> cases = {
      {"Z:\\tmp\\data\\a.dat", {"Z:", "\\tmp\\data\\", "a", ".dat"}},
      {"Z:/tmp/data/R210101.JPI", {"Z:", "/tmp/data/", "R210101", ".JPI"}},
      {"C:a.dat", {"C:", "", "a", ".dat"}},
      {"c:\\dir.x\\name", {"c:", "\\dir.x\\", "name", ""}},
      {"Z:", {"Z:", "", "", ""}},
  };
  for (const Case& c : cases) {
    const PathPieces pieces = split_path(c.path);
    EXPECT_EQ(pieces.drive, c.pieces.drive) << c.path;
    EXPECT_EQ(pieces.directory, c.pieces.directory) << c.path;
    EXPECT_EQ(pieces.name, c.pieces.name) << c.path;
    EXPECT_EQ(pieces.extension, c.pieces.extension) << c.path;
    EXPECT_EQ(join_path(pieces.drive, pieces.directory, pieces.name, pieces.extension), c.path);
  }
  EXPECT_EQ(join_path("Z:", "/tmp", "F00012", "CSV"), "Z:/tmp\\F00012.CSV");
}

// Real files through paths that begin with a drive: absolute with either separator, and
// relative to the drive's current directory.
TEST(Win32Paths, PatternsWithADrive) {
  TempDir dir;
  dir.write("a.dat", "");
  const std::string drive = dir.path().substr(0, 2);
  ASSERT_EQ(drive[1], ':');
  CliOptions options;
  options.working_dir = dir.path();
  const std::vector<std::string> prefixes = {dir.path() + "\\", with_slashes(dir.path()) + "/",
                                             drive};
  for (const std::string& prefix : prefixes) {
    const std::string path = prefix + "a.dat";
    const testing::CliResult result = run_datmend({prefix + "*.DAT"}, options);
    EXPECT_EQ(result.output,
              stdout_text(path + "\nError reading file " + path + "\nNo such file or directory"))
        << prefix;
    EXPECT_EQ(result.exit_status, 1) << prefix;
  }
  const testing::CliResult missing = run_datmend({drive + "\\no-such-dir\\*.dat"}, options);
  EXPECT_EQ(missing.output, "Unable to find file " + drive + "\\no-such-dir\\*.dat");
}

}  // namespace
}  // namespace datmend

#endif  // _WIN32
