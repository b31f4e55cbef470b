// The platform layer on Windows. Files go through the C runtime's descriptors, the
// directory search through FindFirstFileA/FindNextFileA. Standard output stays the C
// runtime's text stream, so every "\n" written to it becomes CR LF.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "platform/wildcard.h"

// The program expands its own patterns: the runtime must hand every argument over as typed.
extern "C" {
int _dowildcard = 0;
}

namespace datmend::platform {
namespace {

int recorded_error = 0;

int record(int error_number) {
  recorded_error = error_number;
  return error_number;
}

int descriptor(const File& file) { return static_cast<int>(file.handle()); }

// _read and _write take at most an unsigned int per call.
constexpr size_t MAX_CHUNK = 1u << 30;

}  // namespace

std::string error_text(int error_number) { return std::strerror(error_number); }

int last_error() { return recorded_error; }

bool File::close() {
  if (handle_ == -1) return true;
  const int result = _close(static_cast<int>(handle_));
  handle_ = -1;
  if (result != 0) {
    record(errno);
    return false;
  }
  return true;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

bool find_matching_entries(const std::string& directory, const std::string& pattern,
                           std::vector<std::string>* names) {
  names->clear();
  if (has_wildcard(directory)) {
    record(ENOENT);
    return false;
  }
  // The system's own matching also goes through the generated short names ("*.dat" finds
  // "x.datx"), so the whole directory is listed and every name is matched here, in the
  // order the listing gives.
  const std::string search = directory + "*";
  WIN32_FIND_DATAA entry;
  const HANDLE find = FindFirstFileA(search.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    record(ENOENT);
    return false;
  }
  do {
    if (wildcard_match(pattern, entry.cFileName)) names->emplace_back(entry.cFileName);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  record(ENOENT);
  return !names->empty();
}

File open_for_reading(const std::string& path, int* error) {
  // _open shares the file with other programs for reading and writing.
  const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    *error = record(errno);
    return File();
  }
  File file(fd);
  struct _stat64 info;
  if (_fstat64(fd, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR) {
    *error = record(EACCES);
    return File();
  }
  return file;
}

File create_for_writing(const std::string& path, int* error) {
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                       _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    *error = record(errno);
    return File();
  }
  return File(fd);
}

bool file_size(const File& file, uint64_t* size, int* error) {
  struct _stat64 info;
  if (_fstat64(descriptor(file), &info) != 0) {
    *error = record(errno);
    return false;
  }
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

int64_t read_bytes(const File& file, void* buffer, size_t count, int* error) {
  size_t done = 0;
  while (done < count) {
    const size_t chunk = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
    const int got =
        _read(descriptor(file), static_cast<char*>(buffer) + done, static_cast<unsigned>(chunk));
    if (got < 0) {
      *error = record(errno);
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

bool write_bytes(const File& file, const void* data, size_t count, int* error) {
  size_t done = 0;
  while (done < count) {
    const size_t chunk = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
    const int put = _write(descriptor(file), static_cast<const char*>(data) + done,
                           static_cast<unsigned>(chunk));
    if (put < 0) {
      *error = record(errno);
      return false;
    }
    if (put == 0) {
      // A full disk shows as a short write without an error number.
      *error = record(ENOSPC);
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

bool seek_to(const File& file, uint64_t offset) {
  if (offset > static_cast<uint64_t>(LLONG_MAX)) return false;
  return _lseeki64(descriptor(file), static_cast<__int64>(offset), SEEK_SET) >= 0;
}

// The C runtime reads TZ in its POSIX form ("EST5EDT") and takes the system's zone when
// TZ is unset or empty; its first conversion reads the setting by itself.
std::optional<int64_t> local_to_calendar(const LocalTime& local) {
  std::tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  fields.tm_isdst = -1;
  // The runtime has no time before 1970, so -1 is only ever its failure.
  const __time64_t result = _mktime64(&fields);
  if (result == -1) return std::nullopt;
  return static_cast<int64_t>(result);
}

std::optional<LocalTime> calendar_to_local(int64_t calendar_time) {
  const __time64_t t = static_cast<__time64_t>(calendar_time);
  std::tm fields{};
  if (_localtime64_s(&fields, &t) != 0) return std::nullopt;
  LocalTime local;
  local.year = fields.tm_year + 1900;
  local.month = fields.tm_mon + 1;
  local.day = fields.tm_mday;
  local.hour = fields.tm_hour;
  local.minute = fields.tm_min;
  local.second = fields.tm_sec;
  return local;
}

void reload_time_zone() { _tzset(); }

int64_t current_time() { return static_cast<int64_t>(_time64(nullptr)); }

}  // namespace datmend::platform
