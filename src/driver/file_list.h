// Expansion of one file pattern of the command line into the paths it names.
#ifndef DATMEND_DRIVER_FILE_LIST_H_
#define DATMEND_DRIVER_FILE_LIST_H_

#include <string>
#include <vector>

namespace datmend {

// The paths of the entries that the pattern's last component matches in the directory its
// drive and directory pieces name, in the order the directory search reports them. Each
// path is the pattern's drive and directory exactly as typed followed by the entry's stored
// name. Directories, "." and ".." included, are listed like files. No match, or a directory
// that cannot be searched, ends the run with "Unable to find file %s" (the pattern). The
// whole search is done before the first path is used.
std::vector<std::string> expand_file_list(const std::string& pattern);

}  // namespace datmend

#endif  // DATMEND_DRIVER_FILE_LIST_H_
