#include "driver/path_pieces.h"

namespace datmend {
namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

}  // namespace

PathPieces split_path(std::string_view path) {
  PathPieces pieces;
  if (path.size() >= 2 && path[1] == ':') {
    pieces.drive = path.substr(0, 2);
    path.remove_prefix(2);
  }
  size_t remainder = 0;  // just after the last separator
  size_t last_dot = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (is_separator(path[i])) {
      remainder = i + 1;
    } else if (path[i] == '.') {
      last_dot = i;
    }
  }
  pieces.directory = path.substr(0, remainder);
  // A dot before the last separator belongs to a directory name, not to an extension.
  if (last_dot != std::string_view::npos && last_dot >= remainder) {
    pieces.name = path.substr(remainder, last_dot - remainder);
    pieces.extension = path.substr(last_dot);
  } else {
    pieces.name = path.substr(remainder);
  }
  return pieces;
}

std::string join_path(std::string_view drive, std::string_view directory, std::string_view name,
                      std::string_view extension) {
  std::string path;
  path.reserve(drive.size() + directory.size() + name.size() + extension.size() + 3);
  if (!drive.empty()) {
    path += drive[0];
    path += ':';
  }
  if (!directory.empty()) {
    path += directory;
    if (!is_separator(directory.back())) path += '\\';
  }
  path += name;
  if (!extension.empty()) {
    if (extension[0] != '.') path += '.';
    path += extension;
  }
  return path;
}

}  // namespace datmend
