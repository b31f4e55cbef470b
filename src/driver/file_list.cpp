#include "driver/file_list.h"

#include "driver/fatal_error.h"
#include "driver/path_pieces.h"
#include "platform/platform.h"

namespace datmend {

std::vector<std::string> expand_file_list(const std::string& pattern) {
  const PathPieces pieces = split_path(pattern);
  std::vector<std::string> names;
  if (!platform::find_matching_entries(pieces.drive + pieces.directory,
                                       pieces.name + pieces.extension, &names)) {
    fatal_error("Unable to find file %s", pattern.c_str());
  }
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) {
    // The stored name goes in whole as the name piece: a name that itself holds a ":" or a
    // "\\" (legal on POSIX) is then kept as it is instead of being split once more.
    paths.push_back(join_path(pieces.drive, pieces.directory, name, {}));
  }
  return paths;
}

}  // namespace datmend
