#include "csv/csv_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

// The stream over a fresh file, with `before` bytes appended already.
struct StreamFixture {
  testing::TempDir dir;
  CsvStream stream;
  std::string expected;

  void open(size_t before) {
    int error = 0;
    platform::File file = platform::create_for_writing(dir.file("out.csv"), &error);
    ASSERT_TRUE(file.is_open());
    stream_open(stream, std::move(file), false);
    append(before);
  }
  void append(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i) bytes += static_cast<char>('a' + (expected.size() + i) % 26);
    stream_append(stream, bytes);
    expected += bytes;
  }
  void overwrite(uint64_t position, const std::string& bytes) {
    stream_overwrite(stream, position, bytes);
    if (position <= expected.size() && bytes.size() <= expected.size() - position) {
      expected.replace(position, bytes.size(), bytes);
    }
  }
  std::string close() {
    EXPECT_TRUE(stream_close(stream));
    return dir.read("out.csv");
  }
};

TEST(CsvStream, OverwriteInTheBufferOrInTheFile) {
  struct Case {
    const char* label;
    size_t before;      // bytes appended first
    uint64_t position;  // where the overwrite goes
    size_t after;       // bytes appended after it
  };
  const Case cases[] = {
      {"still buffered", 1000, 100, 1000},
      {"written out already", 3 * CSV_BUFFER_BYTES + 5, 100, 1000},
      {"across the edge of the buffer", CSV_BUFFER_BYTES + 100, CSV_BUFFER_BYTES - 3, 10},
      {"at the very end", 500, 490, 0},
      {"past the end: ignored", 500, 495, 0},
      {"beyond the end: ignored", 500, 600, 0},
  };
  for (const Case& c : cases) {
    StreamFixture f;
    f.open(c.before);
    EXPECT_EQ(stream_position(f.stream), c.before) << c.label;
    f.overwrite(c.position, "0123456789");
    // Appending goes on at the end, wherever the overwrite went.
    f.append(c.after);
    EXPECT_EQ(stream_position(f.stream), c.before + c.after) << c.label;
    EXPECT_EQ(f.close(), f.expected) << c.label;
  }
}

TEST(CsvStream, AppendLongerThanTheBuffer) {
  StreamFixture f;
  f.open(10);
  f.append(2 * CSV_BUFFER_BYTES + 7);
  f.append(CSV_BUFFER_BYTES);
  EXPECT_EQ(f.close(), f.expected);
}

TEST(CsvStream, DiscardingCountsButWritesNothing) {
  testing::TempDir dir;
  CsvStream stream;
  stream_open(stream, platform::File(), true);
  stream_append(stream, std::string(3 * CSV_BUFFER_BYTES, 'x'));
  stream_overwrite(stream, 10, "abc");
  stream_flush(stream);
  EXPECT_EQ(stream_position(stream), 3 * CSV_BUFFER_BYTES);
  EXPECT_TRUE(stream_close(stream));
  EXPECT_FALSE(stream.active);
  EXPECT_TRUE(dir.list().empty());
}

}  // namespace
}  // namespace datmend
