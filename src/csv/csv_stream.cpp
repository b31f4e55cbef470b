#include "csv/csv_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "driver/fatal_error.h"

namespace datmend {
namespace {

// Writes the buffer out; false with *error set when the system refused.
bool write_out(CsvStream& stream, int* error) {
  const size_t count = std::exchange(stream.used, 0);
  stream.written_out += count;
  if (stream.discard || count == 0 || !stream.file.is_open()) return true;
  return platform::write_bytes(stream.file, stream.buffer.get(), count, error);
}

}  // namespace

void stream_open(CsvStream& stream, platform::File file, bool discard) {
  // Left uninitialised: only the pages that a run fills count towards its memory.
  if (!stream.buffer) stream.buffer = std::make_unique_for_overwrite<char[]>(CSV_BUFFER_BYTES);
  stream.file = std::move(file);
  stream.discard = discard;
  stream.active = true;
  stream.used = 0;
  stream.written_out = 0;
}

void stream_flush(CsvStream& stream) {
  int error = 0;
  if (!write_out(stream, &error)) {
    fatal_error("Error writing output file.\n%s", platform::error_text(error).c_str());
  }
}

void stream_append(CsvStream& stream, std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t count = std::min(bytes.size(), CSV_BUFFER_BYTES);
    char* out = stream_reserve(stream, count);
    std::memcpy(out, bytes.data(), count);
    stream_commit(stream, count);
    bytes.remove_prefix(count);
  }
}

void stream_overwrite(CsvStream& stream, uint64_t position, std::string_view bytes) {
  const uint64_t end = stream_position(stream);
  if (position > end || bytes.size() > end - position) return;
  if (position >= stream.written_out) {
    std::memcpy(stream.buffer.get() + (position - stream.written_out), bytes.data(), bytes.size());
    return;
  }
  stream_flush(stream);
  if (stream.discard || !stream.file.is_open()) return;
  if (!platform::seek_to(stream.file, position)) return;
  int error = 0;
  const bool written = platform::write_bytes(stream.file, bytes.data(), bytes.size(), &error);
  platform::seek_to(stream.file, stream.written_out);
  if (!written) {
    fatal_error("Error writing output file.\n%s", platform::error_text(error).c_str());
  }
}

bool stream_close(CsvStream& stream) {
  if (!stream.active) return true;
  int error = 0;
  const bool written = write_out(stream, &error);
  stream.file.close();
  stream.active = false;
  stream.discard = false;
  stream.written_out = 0;
  return written;
}

}  // namespace datmend
