// The few services of the operating system that datmend uses, as plain functions.
// One implementation per system: platform_posix.cpp and platform_win32.cpp. Paths are
// passed exactly as the user typed them; on POSIX "\\" becomes "/" only here, when a
// path is handed to the system.
#ifndef DATMEND_PLATFORM_PLATFORM_H_
#define DATMEND_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace datmend::platform {

// The system's text for an error number ("No such file or directory", ...).
std::string error_text(int error_number);

// The error number that the last failing platform step recorded. The directory search
// records the no-such-file condition when it ends, as the home platform's search does.
int last_error();

// Lists the entries of `directory` whose names match `pattern` (see wildcard.h), in the
// order the listing gives them, except that "." and ".." come first when they match.
// `directory` is the drive and directory pieces of the pattern as typed (empty: the current
// directory). Directories are reported like files. Returns false, with `names` empty, when
// the directory cannot be searched (it does not exist, or holds a wildcard).
bool find_matching_entries(const std::string& directory, const std::string& pattern,
                           std::vector<std::string>* names);

// An open file that is closed when it goes out of scope.
class File {
 public:
  File() = default;
  explicit File(intptr_t handle) : handle_(handle) {}
  File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { close(); }

  bool is_open() const { return handle_ != -1; }
  intptr_t handle() const { return handle_; }
  // Closes the file; false when the system reports an error. Closing a closed file does nothing.
  bool close();

 private:
  intptr_t handle_ = -1;
};

// Opens an existing file for reading raw bytes, without locking other programs out.
// A directory fails with the "Permission denied" error. On failure the result is not
// open and *error holds the error number.
File open_for_reading(const std::string& path, int* error);

// Creates a file, or empties an existing one, for writing raw bytes (no line-end
// translation), with ordinary read-write permissions.
File create_for_writing(const std::string& path, int* error);

// The size of an open file in bytes.
bool file_size(const File& file, uint64_t* size, int* error);

// Reads up to `count` bytes, continuing over short reads until `count` bytes or the end
// of the file. Returns the number of bytes read, or -1 on failure.
int64_t read_bytes(const File& file, void* buffer, size_t count, int* error);

// Writes all `count` bytes; false (with *error set) when fewer could be written.
bool write_bytes(const File& file, const void* data, size_t count, int* error);

// Moves the file position to `offset` bytes from the start.
bool seek_to(const File& file, uint64_t offset);

// A local date and time of day. Fields may be out of their ranges when handed to
// local_to_calendar: they carry over as in calendar arithmetic (month 0 is December of the
// year before, day 0 the last day of the month before, hour 24 the next day, ...).
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1 = January
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The calendar time (seconds since 1970-01-01 00:00 UTC) of a local date and time in the
// local time zone, with daylight-saving time decided by the zone's rules for that date.
// Empty when the system cannot represent that moment.
std::optional<int64_t> local_to_calendar(const LocalTime& local);

// The local date and time of a calendar time; empty when the system cannot convert it.
std::optional<LocalTime> calendar_to_local(int64_t calendar_time);

// Reads the time-zone setting again (after a change of TZ, in tests). The first conversion
// reads it by itself.
void reload_time_zone();

// The current calendar time.
int64_t current_time();

}  // namespace datmend::platform

#endif  // DATMEND_PLATFORM_PLATFORM_H_
