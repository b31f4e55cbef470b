// The "-r" mode: a copy of the data file in the older format, "<name>-MEND.DAT" beside it,
// with every flight-header and record checksum byte in the XOR form and the "$C" version
// already lowered by the header reader. The input file is never changed.
#ifndef DATMEND_LEGACY_LEGACY_REWRITE_H_
#define DATMEND_LEGACY_LEGACY_REWRITE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "header/file_state.h"

namespace datmend {

// Prints the older-version notice for a file that needs no change; otherwise checks every
// flight, rewrites its checksum bytes in the buffer and writes the copy. Fatal on failure.
void rewrite_legacy_file(FileState& state);

// Checks every flight of the directory and replaces each flight-header and record checksum
// byte in the buffer by its XOR form; writes nothing. Fatal on the first failed check.
void rewrite_checksums(FileState& state);

// Writes the first file_size bytes of the buffer to the input's drive, directory and name
// pieces + `suffix` + `extension`.
void write_legacy_copy(const FileState& state, const char* extension, const char* suffix);

// Creates or empties `path` and writes `count` bytes to it in one binary write.
void write_whole_file(const std::string& path, const uint8_t* bytes, size_t count);

}  // namespace datmend

#endif  // DATMEND_LEGACY_LEGACY_REWRITE_H_
