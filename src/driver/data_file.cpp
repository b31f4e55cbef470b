#include "driver/data_file.h"

#include <cstdint>
#include <new>

#include "driver/fatal_error.h"
#include "platform/platform.h"

namespace datmend {
namespace {

// Sizes are held in 32 bits and printed as a signed number.
constexpr uint64_t kTooLarge = uint64_t{1} << 31;

}  // namespace

void load_data_file(FileState& state, const std::string& path) {
  state.input_path = path;
  state.file_size = 0;
  int error = 0;
  platform::File file = platform::open_for_reading(path, &error);
  if (!file.is_open()) {
    fatal_error("Unable to open file %s\n%s", path.c_str(), platform::error_text(error).c_str());
  }
  uint64_t size = 0;
  if (!platform::file_size(file, &size, &error)) {
    fatal_error("Unable to get file size %s", path.c_str());
  }
  if (size >= kTooLarge) fatal_error("File too large %s", path.c_str());
  if (state.buffer_capacity < size) {
    // The old contents are not needed: release them first, so that the run never holds
    // two buffers at once.
    state.buffer.reset();
    state.buffer_capacity = 0;
    state.buffer.reset(new (std::nothrow) uint8_t[size]);
    if (!state.buffer) {
      fatal_error("Memory allocation failed (%d bytes)", static_cast<int>(size));
    }
    state.buffer_capacity = static_cast<uint32_t>(size);
  }
  const int64_t got = platform::read_bytes(file, state.buffer.get(), size, &error);
  // An empty file is no error of the read itself: its message carries the last error
  // recorded before, which the directory search leaves at "No such file or directory".
  if (got <= 0) {
    fatal_error("Error reading file %s\n%s", path.c_str(),
                platform::error_text(platform::last_error()).c_str());
  }
  state.file_size = static_cast<uint32_t>(got);
}

}  // namespace datmend
