// The buffered output of the CSV file in progress. One buffer, allocated by the first
// open and kept for the whole run, collects the bytes of a flight's file; it is written out
// with one write call when it is full and at the flight's end. Positions count every byte
// handed to the stream, written out or still buffered.
#ifndef DATMEND_CSV_CSV_STREAM_H_
#define DATMEND_CSV_CSV_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/platform.h"

namespace datmend {

inline constexpr size_t CSV_BUFFER_BYTES = 256 * 1024;

struct CsvStream {
  platform::File file;
  // Open from stream_open to stream_close. A discarding stream is open without a file.
  bool active = false;
  // Buffered bytes are dropped instead of written (no file is involved).
  bool discard = false;
  std::unique_ptr<char[]> buffer;
  size_t used = 0;           // bytes in the buffer
  uint64_t written_out = 0;  // bytes before the buffer's first one
};

// Makes `file` the stream's file (or, with `discard`, no file at all), from position 0.
void stream_open(CsvStream& stream, platform::File file, bool discard);

// Writes the buffered bytes out. A failed write ends the run with "Error writing output
// file.\n%s"; the bytes that failed are dropped, so no later flush repeats the error.
void stream_flush(CsvStream& stream);

// Room for `count` bytes (at most CSV_BUFFER_BYTES) at the end of the buffer; the caller
// fills up to that many and then calls stream_commit with the number it filled.
inline char* stream_reserve(CsvStream& stream, size_t count) {
  if (CSV_BUFFER_BYTES - stream.used < count) stream_flush(stream);
  return stream.buffer.get() + stream.used;
}
inline void stream_commit(CsvStream& stream, size_t count) { stream.used += count; }

// Appends bytes as they are (no line-end translation).
void stream_append(CsvStream& stream, std::string_view bytes);

inline uint64_t stream_position(const CsvStream& stream) {
  return stream.written_out + stream.used;
}

// Replaces bytes already handed to the stream, at `position`, by `bytes`: in the buffer
// when they are still there, else in the file. Afterwards the stream still appends at its
// end. A failure to reposition leaves the file as it is.
void stream_overwrite(CsvStream& stream, uint64_t position, std::string_view bytes);

// Writes out what is buffered and closes the file, reporting nothing: this is also the
// last step of a run that ends with an error. Returns false when bytes were lost.
bool stream_close(CsvStream& stream);

}  // namespace datmend

#endif  // DATMEND_CSV_CSV_STREAM_H_
