// Splitting a path into its drive, directory, name and extension pieces, and joining such
// pieces again. Both "/" and "\\" separate directories; "\\" is the one this program adds.
// Outputs are placed beside their input by splitting the input's path and joining its
// drive and directory pieces with a new name.
#ifndef DATMEND_DRIVER_PATH_PIECES_H_
#define DATMEND_DRIVER_PATH_PIECES_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace datmend {

// The longest full path the home platform's conventions allow (260 bytes with the
// terminating zero). Paths here are not limited to it: a longer one is handed to the
// system as it is, and the system's refusal is reported like any other.
inline constexpr size_t MAX_PATH_CHARS = 259;

struct PathPieces {
  std::string drive;      // "C:" when the second character is ":", else empty
  std::string directory;  // up to and including the last separator, else empty
  std::string name;       // the rest before its last ".", or the whole rest
  std::string extension;  // from that last "." (included) to the end, else empty
};

// Concatenating the four pieces gives the path back.
PathPieces split_path(std::string_view path);

// drive (its letter and ":") + directory (with a "\\" added when it does not end with a
// separator) + name + extension (with a "." added when it does not begin with one). Empty
// pieces add nothing. join_path of split_path's pieces is the original path.
std::string join_path(std::string_view drive, std::string_view directory, std::string_view name,
                      std::string_view extension);

}  // namespace datmend

#endif  // DATMEND_DRIVER_PATH_PIECES_H_
