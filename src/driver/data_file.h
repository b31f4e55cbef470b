// Loading one data file whole into the FileState's buffer.
#ifndef DATMEND_DRIVER_DATA_FILE_H_
#define DATMEND_DRIVER_DATA_FILE_H_

#include <string>

#include "header/file_state.h"

namespace datmend {

// Reads the file at `path` into state.buffer and sets input_path and file_size. The buffer
// grows to exactly the file's size when the file is larger than buffer_capacity, and is
// reused otherwise (bytes beyond file_size are then stale). The bytes arrive unchanged. Every
// failure is fatal: the file cannot be opened, its size cannot be had or is 2 GiB or more,
// the buffer cannot grow, or the read delivers nothing.
void load_data_file(FileState& state, const std::string& path);

}  // namespace datmend

#endif  // DATMEND_DRIVER_DATA_FILE_H_
