#include "driver/path_pieces.h"

#include <gtest/gtest.h>

#include <string>

namespace datmend {
namespace {

struct SplitCase {
  const char* path;
  const char* drive;
  const char* directory;
  const char* name;
  const char* extension;
};

const SplitCase kSplitCases[] = {
    {"", "", "", "", ""},
    {"a", "", "", "a", ""},
    {"a.dat", "", "", "a", ".dat"},
    {"R210101.DAT", "", "", "R210101", ".DAT"},
    {"a.b.c", "", "", "a.b", ".c"},
    {"name.", "", "", "name", "."},
    {".name", "", "", "", ".name"},
    {".", "", "", "", "."},
    {"..", "", "", ".", "."},
    {"data/x.dat", "", "data/", "x", ".dat"},
    {"data\\x.dat", "", "data\\", "x", ".dat"},
    {"a/b\\c/x.JPI", "", "a/b\\c/", "x", ".JPI"},
    {"data/", "", "data/", "", ""},
    {"/", "", "/", "", ""},
    {"/x", "", "/", "x", ""},
    {"dir.v2/readme", "", "dir.v2/", "readme", ""},
    {"dir.v2\\readme", "", "dir.v2\\", "readme", ""},
    {"dir.v2/.profile", "", "dir.v2/", "", ".profile"},
    {"../x.dat", "", "../", "x", ".dat"},
    {"./x", "", "./", "x", ""},
    {"C:", "C:", "", "", ""},
    {"C:x.dat", "C:", "", "x", ".dat"},
    {"C:\\logs\\x.dat", "C:", "\\logs\\", "x", ".dat"},
    {"z:/logs/x", "z:", "/logs/", "x", ""},
    {"C:.", "C:", "", "", "."},
    {":x", "", "", ":x", ""},
    {"ab:c", "", "", "ab:c", ""},
    {"C:D:x", "C:", "", "D:x", ""},
};

TEST(SplitPath, Pieces) {
  for (const SplitCase& c : kSplitCases) {
    const PathPieces pieces = split_path(c.path);
    EXPECT_EQ(pieces.drive, c.drive) << c.path;
    EXPECT_EQ(pieces.directory, c.directory) << c.path;
    EXPECT_EQ(pieces.name, c.name) << c.path;
    EXPECT_EQ(pieces.extension, c.extension) << c.path;
  }
}

TEST(JoinPath, GivesBackTheSplitPath) {
  for (const SplitCase& c : kSplitCases) {
    const PathPieces pieces = split_path(c.path);
    EXPECT_EQ(join_path(pieces.drive, pieces.directory, pieces.name, pieces.extension), c.path)
        << c.path;
  }
}

TEST(JoinPath, AddsTheMissingSeparatorAndDot) {
  struct JoinCase {
    const char* drive;
    const char* directory;
    const char* name;
    const char* extension;
    const char* path;
  };
  const JoinCase cases[] = {
      {"", "", "", "", ""},
      {"", "logs", "F00012", ".CSV", "logs\\F00012.CSV"},
      {"", "logs/", "F00012", ".CSV", "logs/F00012.CSV"},
      {"", "logs\\", "F00012", ".CSV", "logs\\F00012.CSV"},
      {"", "", "R1-MEND", "DAT", "R1-MEND.DAT"},
      {"", "", "R1", ".DAT", "R1.DAT"},
      {"C:", "", "x", "", "C:x"},
      {"C", "", "x", "", "C:x"},
      {"D:", "\\a", "x", "dat", "D:\\a\\x.dat"},
      {"", "", "", "ext", ".ext"},
      {"", "dir", "", "", "dir\\"},
  };
  for (const JoinCase& c : cases) {
    EXPECT_EQ(join_path(c.drive, c.directory, c.name, c.extension), c.path)
        << "[" << c.drive << "][" << c.directory << "][" << c.name << "][" << c.extension << "]";
  }
}

TEST(JoinPath, NeverShortensALongPath) {
  const std::string directory = std::string(300, 'd') + "/";
  const std::string name(300, 'n');
  const std::string path = join_path("", directory, name, ".DAT");
  EXPECT_EQ(path.size(), 605u);
  EXPECT_GT(path.size(), MAX_PATH_CHARS);
  const PathPieces pieces = split_path(path);
  EXPECT_EQ(pieces.directory, directory);
  EXPECT_EQ(pieces.name, name);
  EXPECT_EQ(pieces.extension, ".DAT");
}

}  // namespace
}  // namespace datmend
