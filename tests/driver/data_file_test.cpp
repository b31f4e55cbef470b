#include "driver/data_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/fatal_error.h"
#include "driver/path_pieces.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

std::string bytes_of(const FileState& state) {
  return std::string(reinterpret_cast<const char*>(state.buffer.get()), state.file_size);
}

std::string load_error(FileState& state, const std::string& path) {
  try {
    load_data_file(state, path);
  } catch (const FatalError& error) {
    return error.message;
  }
  return "(no error)";
}

// The directory search leaves the no-such-file condition as the last error, as it does
// before every load in a run.
void search_once(const testing::TempDir& dir) {
  std::vector<std::string> names;
  platform::find_matching_entries(dir.path() + "/", "*", &names);
}

TEST(LoadDataFile, BytesArriveUnchanged) {
  testing::TempDir dir;
  const std::string content("$A\r\n\x1a\n\r\0\xff\x1a", 11);
  dir.write("x.dat", content);
  FileState state;
  load_data_file(state, dir.file("x.dat"));
  EXPECT_EQ(state.input_path, dir.file("x.dat"));
  EXPECT_EQ(state.file_size, content.size());
  EXPECT_EQ(state.buffer_capacity, content.size());
  EXPECT_EQ(bytes_of(state), content);
}

TEST(LoadDataFile, BufferGrowsToExactSizeAndIsReused) {
  testing::TempDir dir;
  dir.write("large.dat", std::string(1000, 'L'));
  dir.write("same.dat", std::string(1000, 'S'));
  dir.write("small.dat", std::string("tiny"));
  dir.write("larger.dat", std::string(1001, 'G'));
  FileState state;

  load_data_file(state, dir.file("large.dat"));
  EXPECT_EQ(state.buffer_capacity, 1000u);
  const uint8_t* storage = state.buffer.get();

  // Exactly the capacity: read into the same storage.
  load_data_file(state, dir.file("same.dat"));
  EXPECT_EQ(state.buffer.get(), storage);
  EXPECT_EQ(state.buffer_capacity, 1000u);
  EXPECT_EQ(bytes_of(state), std::string(1000, 'S'));

  // Smaller: the capacity stays, the bytes after file_size are stale.
  load_data_file(state, dir.file("small.dat"));
  EXPECT_EQ(state.buffer.get(), storage);
  EXPECT_EQ(state.buffer_capacity, 1000u);
  EXPECT_EQ(state.file_size, 4u);
  EXPECT_EQ(bytes_of(state), "tiny");
  EXPECT_EQ(state.buffer[4], 'S');
  EXPECT_EQ(state.input_path, dir.file("small.dat"));

  // Larger than any before: new storage of exactly that size.
  load_data_file(state, dir.file("larger.dat"));
  EXPECT_EQ(state.buffer_capacity, 1001u);
  EXPECT_EQ(bytes_of(state), std::string(1001, 'G'));
}

TEST(LoadDataFile, BackslashSeparatesDirectories) {
  testing::TempDir dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("logs")));
  dir.write("logs/x.dat", std::string("abc"));
  FileState state;
  const std::string path = dir.path() + "\\logs\\x.dat";
  load_data_file(state, path);
  EXPECT_EQ(state.input_path, path);  // kept as typed
  EXPECT_EQ(bytes_of(state), "abc");
}

TEST(LoadDataFile, Errors) {
  testing::TempDir dir;
  dir.write("empty.dat", std::string());
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder.dat")));
  dir.write("file", std::string("x"));
  struct Case {
    std::string path;
    std::string message;
  };
  const Case cases[] = {
      {dir.file("empty.dat"),
       "Error reading file " + dir.file("empty.dat") + "\nNo such file or directory"},
      {dir.file("folder.dat"),
       "Unable to open file " + dir.file("folder.dat") + "\nPermission denied"},
      {dir.path(), "Unable to open file " + dir.path() + "\nPermission denied"},
      {dir.file("."), "Unable to open file " + dir.file(".") + "\nPermission denied"},
      {dir.file("missing.dat"),
       "Unable to open file " + dir.file("missing.dat") + "\nNo such file or directory"},
      {dir.file("gone/x.dat"),
       "Unable to open file " + dir.file("gone/x.dat") + "\nNo such file or directory"},
#ifndef _WIN32
      {dir.file("file/x.dat"),
       "Unable to open file " + dir.file("file/x.dat") + "\nNot a directory"},
#endif
  };
  for (const Case& c : cases) {
    FileState state;
    search_once(dir);
    EXPECT_EQ(load_error(state, c.path), c.message) << c.path;
    EXPECT_EQ(state.input_path, c.path);
    EXPECT_EQ(state.file_size, 0u) << c.path;
  }
}

TEST(LoadDataFile, EmptyFileAfterALargerOneKeepsTheBuffer) {
  testing::TempDir dir;
  dir.write("big.dat", std::string(64, 'B'));
  dir.write("empty.dat", std::string());
  FileState state;
  load_data_file(state, dir.file("big.dat"));
  search_once(dir);
  EXPECT_EQ(load_error(state, dir.file("empty.dat")),
            "Error reading file " + dir.file("empty.dat") + "\nNo such file or directory");
  EXPECT_EQ(state.buffer_capacity, 64u);
  EXPECT_EQ(state.file_size, 0u);
}

// POSIX only: long paths and sparse files as these tests make them.
#ifndef _WIN32
TEST(LoadDataFile, PathLongerThanTheOldLimitIsHandedToTheSystem) {
  testing::TempDir dir;
  std::string relative;
  for (int i = 0; i < 4; ++i) {
    relative += std::string(80, static_cast<char>('a' + i)) + "/";
    ASSERT_TRUE(std::filesystem::create_directory(dir.file(relative)));
  }
  relative += "x.dat";
  dir.write(relative, std::string("long"));
  const std::string path = dir.file(relative);
  ASSERT_GT(path.size(), MAX_PATH_CHARS);
  FileState state;
  load_data_file(state, path);
  EXPECT_EQ(state.input_path, path);
  EXPECT_EQ(bytes_of(state), "long");

  // A component longer than the system allows: the system's refusal, reported as usual.
  const std::string too_long = dir.file(std::string(300, 'n') + ".dat");
  EXPECT_EQ(load_error(state, too_long),
            "Unable to open file " + too_long + "\nFile name too long");
}

TEST(LoadDataFile, FileOf2GiBIsRefusedBeforeAnyAllocation) {
  testing::TempDir dir;
  const std::string path = dir.file("huge.dat");
  dir.write("huge.dat", std::string());
  // A sparse file: no disk space is used.
  if (truncate(path.c_str(), int64_t{1} << 31) != 0) GTEST_SKIP() << "no sparse file here";
  FileState state;
  EXPECT_EQ(load_error(state, path), "File too large " + path);
  EXPECT_EQ(state.buffer_capacity, 0u);
  EXPECT_EQ(state.buffer, nullptr);
}

// The sanitizers reserve far more address space than this limit allows.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define DATMEND_TEST_SANITIZED 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && \
    !defined(DATMEND_TEST_SANITIZED)
// Loads `path` with too little address space for its buffer; ends the process with 3
// when the error comes with no buffer left behind, the message on standard error.
void load_with_little_memory(const std::string& path) {
  rlimit limit;
  limit.rlim_cur = limit.rlim_max = 256 << 20;
  setrlimit(RLIMIT_AS, &limit);
  FileState state;
  try {
    load_data_file(state, path);
  } catch (const FatalError& error) {
    std::fputs(error.message.c_str(), stderr);
    std::exit(state.buffer == nullptr && state.buffer_capacity == 0 ? 3 : 4);
  }
  std::exit(5);
}

TEST(LoadDataFileDeathTest, BufferThatCannotGrow) {
  testing::TempDir dir;
  const std::string path = dir.file("big.dat");
  dir.write("big.dat", std::string());
  if (truncate(path.c_str(), int64_t{1} << 30) != 0) GTEST_SKIP() << "no sparse file here";
  EXPECT_EXIT(load_with_little_memory(path), ::testing::ExitedWithCode(3),
              "^Memory allocation failed \\(1073741824 bytes\\)$");
}
#endif

#endif  // _WIN32

}  // namespace
}  // namespace datmend
