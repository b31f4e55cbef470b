// Runs the whole per-file pipeline in memory on arbitrary bytes: the header records, the
// flight walk with every CSV row formatted and dropped, and the checksum walk of "-r" on a
// fresh copy of the bytes. No file is read or written, and neither the date nor the
// machine's time zone changes the outcome.
//
// The first input byte chooses the switches, the rest is the data file:
//   bit 0     no_suffix
//   bits 1-2  only_flight: 0 every flight, 1 the first directory entry's number, 2 the
//             last entry's, 3 a number taken from bits 3-7 (often in no entry)
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "csv/csv_writer.h"
#include "driver/fatal_error.h"
#include "driver/options.h"
#include "flight/flight_decoder.h"
#include "header/file_state.h"
#include "header/header_reader.h"
#include "legacy/legacy_rewrite.h"
#include "platform/platform.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DATMEND_FUZZ_POISON 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define DATMEND_FUZZ_POISON 1
#endif
#ifdef DATMEND_FUZZ_POISON
#include <sanitizer/asan_interface.h>
#endif

namespace {

using datmend::FatalError;
using datmend::FileState;

// A fixed conversion date: 2021-06-15 12:00 UTC.
constexpr int64_t kFixedNow = 1623758400;

// Bytes kept after the file in the buffer, as a larger earlier file leaves them. With
// AddressSanitizer they are poisoned, so reading past file_size is reported.
constexpr size_t kStaleBytes = 64;

// The messages that reading, converting and checking a file in memory can end with. Nothing
// here touches a file, so the messages of failed opens and writes must not appear.
constexpr std::string_view kMessages[] = {
    "Unexpected end of .DAT file",
    "Expected $ at beginning of record:\n --> ",
    "Header checksum format error: ",
    "Header checksum failed: ",
    "Not enough values (",
    "This program can only handle 512 flights per file",
    "Data ends unexpectedly",
    "Flight header checksum failed",
    "Flight numbers don't match (",
    "Unexpected end of data record",
    "Data checksum failed",
    "Flight ",  // "... data length too short", "... time cannot be converted to local time"
};

// Every error ends with one of the program's own messages.
void check_message(const FatalError& error) {
  for (const std::string_view message : kMessages) {
    if (error.message.starts_with(message)) return;
  }
  std::abort();
}

void load(FileState& state, const uint8_t* data, size_t size) {
  state.input_path = "fuzz/F.DAT";
  const size_t capacity = size + kStaleBytes;
  state.buffer.reset(new uint8_t[capacity]);
  state.buffer_capacity = static_cast<uint32_t>(capacity);
  if (size != 0) std::memcpy(state.buffer.get(), data, size);
  std::memset(state.buffer.get() + size, 'S', kStaleBytes);
  state.file_size = static_cast<uint32_t>(size);
#ifdef DATMEND_FUZZ_POISON
  ASAN_POISON_MEMORY_REGION(state.buffer.get() + size, kStaleBytes);
#endif
}

void release(FileState& state) {
#ifdef DATMEND_FUZZ_POISON
  ASAN_UNPOISON_MEMORY_REGION(state.buffer.get(), state.buffer_capacity);
#endif
  state.buffer.reset();
  state.buffer_capacity = 0;
}

datmend::Options options_from(uint8_t control, const FileState& state) {
  datmend::Options options;
  options.no_suffix = (control & 1) != 0;
  const int mode = (control >> 1) & 3;
  if (mode == 1 && state.flight_count > 0) {
    options.only_flight = state.flight_dir[0].flight_number;
  } else if (mode == 2 && state.flight_count > 0) {
    options.only_flight = state.flight_dir[state.flight_count - 1].flight_number;
  } else if (mode == 3) {
    options.only_flight = static_cast<uint16_t>(control >> 3);
  }
  return options;
}

void convert(const FileState& state, const datmend::Options& options) {
  datmend::CsvWriter csv;
  csv.discard_output = true;
  csv.fixed_now = kFixedNow;
  try {
    datmend::convert_flights(state, options, csv);
  } catch (const FatalError& error) {
    check_message(error);
  }
  datmend::close_csv_file(csv);
}

// The checksum walk of "-r". When it passes, every checksum is in the XOR form, so a
// second walk must pass too and change nothing.
void rewrite(FileState& state) {
  try {
    datmend::rewrite_checksums(state);
  } catch (const FatalError& error) {
    check_message(error);
    return;
  }
  const std::vector<uint8_t> once(state.bytes().begin(), state.bytes().end());
  try {
    datmend::rewrite_checksums(state);
  } catch (const FatalError&) {
    std::abort();
  }
  if (!once.empty() && std::memcmp(once.data(), state.buffer.get(), once.size()) != 0) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifdef _WIN32
  _putenv_s("TZ", "UTC0");
  const char* nowhere = "NUL";
#else
  setenv("TZ", "UTC0", 1);
  const char* nowhere = "/dev/null";
#endif
  datmend::platform::reload_time_zone();
  // The path lines and notices would only slow the run down.
  if (std::freopen(nowhere, "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  ++data;
  --size;

  FileState state;
  load(state, data, size);
  datmend::reset_file_state(state);
  try {
    datmend::parse_header_records(state);
  } catch (const FatalError& error) {
    check_message(error);
    release(state);
    return 0;
  }
  if (state.data_start > state.file_size + 1) std::abort();
  const std::vector<uint8_t> after_header(state.bytes().begin(), state.bytes().end());

  const datmend::Options options = options_from(control, state);
  convert(state, options);
  // The conversion only reads the buffer.
  if (!after_header.empty() &&
      std::memcmp(after_header.data(), state.buffer.get(), after_header.size()) != 0) {
    std::abort();
  }

  // A fresh copy of the bytes as the header reader left them, for the legacy walk.
  release(state);
  load(state, after_header.data(), after_header.size());
  rewrite(state);
  release(state);
  return 0;
}
