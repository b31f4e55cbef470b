#include "legacy/legacy_rewrite.h"

#include <cstdio>
#include <span>

#include "driver/fatal_error.h"
#include "driver/path_pieces.h"
#include "flight/checksum.h"
#include "flight/flight_format.h"
#include "flight/record_layout.h"
#include "platform/platform.h"

namespace datmend {
namespace {

constexpr const char* kLegacyExtension = ".DAT";
constexpr const char* kLegacySuffix = "-MEND";

// Checks the checksum byte that follows the `count` bytes at `start` and, when it may,
// replaces it with the XOR form of those bytes.
bool rewrite_checksum(const FileState& state, std::span<uint8_t> file, size_t start, size_t count,
                      bool may_write) {
  const std::span<const uint8_t> covered = file.subspan(start, count);
  uint8_t& checksum = file[start + count];
  if (!verify_record_checksum(state, covered, checksum)) return false;
  if (may_write) checksum = xor_bytes(covered);
  return true;
}

// Rewrites the checksums of the records of one region. Only the flag bytes are read: the
// values themselves do not matter for where each checksum byte lies.
void rewrite_records(const FileState& state, std::span<uint8_t> region) {
  size_t record = FLIGHT_HEADER_SIZE;
  while (record + RECORD_FIXED_BYTES < region.size()) {
    RecordLayout layout;
    if (!read_record_layout(region.subspan(record), &layout)) {
      fatal_error("Unexpected end of data record");
    }
    if (!rewrite_checksum(state, region, record, layout.checksum_offset, true)) {
      fatal_error("Data checksum failed");
    }
    record += layout.checksum_offset + 1;
  }
}

}  // namespace

void rewrite_checksums(FileState& state) {
  const std::span<uint8_t> file = state.bytes();
  uint64_t position = state.data_start;
  for (uint32_t i = 0; i < state.flight_count; ++i) {
    const FlightDirEntry& entry = state.flight_dir[i];
    const uint64_t end = position + 2 * uint64_t{entry.length_words};
    if (end >= file.size()) fatal_error("Data ends unexpectedly");
    if (entry.length_words < MIN_FLIGHT_WORDS) {
      fatal_error("Flight %u data length too short", static_cast<unsigned>(entry.flight_number));
    }
    const std::span<uint8_t> region =
        file.subspan(static_cast<size_t>(position), static_cast<size_t>(end - position));
    // A flight of exactly seven words has its header checksum byte just past its region:
    // the first byte of the next flight, or of whatever follows the last one. It is
    // checked but never replaced, so the next flight's header stays as it was.
    const bool checksum_inside = FLIGHT_HEADER_BYTES < region.size();
    if (!rewrite_checksum(state, file, static_cast<size_t>(position), FLIGHT_HEADER_BYTES,
                          checksum_inside)) {
      fatal_error("Flight header checksum failed");
    }
    rewrite_records(state, region);
    position = end;
  }
}

void rewrite_legacy_file(FileState& state) {
  if (state.config.firmware_version < state.legacy_threshold) {
    std::fputs("This data file is the older version and doesn't need to be changed\n", stdout);
    return;
  }
  // Every flight is checked before anything is written, so a damaged file leaves no copy.
  rewrite_checksums(state);
  write_legacy_copy(state, kLegacyExtension, kLegacySuffix);
}

void write_legacy_copy(const FileState& state, const char* extension, const char* suffix) {
  const PathPieces pieces = split_path(state.input_path);
  std::string name(pieces.name);
  name += suffix;
  // The path is formed whole and never cut to a length limit: a shortened name could
  // replace some other file. A name that the system refuses fails to open.
  const std::string path = join_path(pieces.drive, pieces.directory, name, extension);
  write_whole_file(path, state.buffer.get(), state.file_size);
}

void write_whole_file(const std::string& path, const uint8_t* bytes, size_t count) {
  int error = 0;
  platform::File file = platform::create_for_writing(path, &error);
  if (!file.is_open()) {
    fatal_error("Unable to open output file %s\n%s", path.c_str(),
                platform::error_text(error).c_str());
  }
  if (!platform::write_bytes(file, bytes, count, &error)) {
    fatal_error("Error writing file %s\n%s", path.c_str(), platform::error_text(error).c_str());
  }
  // Some systems report a failed write only when the file is closed; such a copy is not
  // complete and must not pass for one.
  if (!file.close()) {
    fatal_error("Error writing file %s\n%s", path.c_str(),
                platform::error_text(platform::last_error()).c_str());
  }
}

}  // namespace datmend
