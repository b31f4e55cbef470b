// The platform layer on Windows. Files go through the C runtime's descriptors, the
// directory search through FindFirstFileA/FindNextFileA, local time through the zone
// rules of zone_rules.h. Standard output stays the C runtime's text stream, so every "\n"
// written to it becomes CR LF.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "platform/wildcard.h"
#include "platform/zone_rules.h"

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

// The C runtime's calendar runs from 1970 to the end of the year 3000 (UTC); the
// conversions here keep to the same range.
constexpr int64_t LAST_CALENDAR_TIME = 32535215999;

// Local time is converted here by the zone's rules rather than by the C runtime: TZ is read
// in its POSIX form with its daylight-saving dates (the runtime of Wine ignores them), and
// without TZ the rules come from the system's zone setting, as the runtime would take them.
bool zone_loaded = false;
ZoneRules zone;

ZoneDate change_date(const SYSTEMTIME& date) {
  ZoneDate result;
  result.month = date.wMonth;
  if (date.wYear == 0) {
    result.kind = ZoneDate::Kind::kMonthWeekDay;
    result.week = date.wDay;
    result.weekday = date.wDayOfWeek;
  } else {
    result.kind = ZoneDate::Kind::kFixed;
    result.day = date.wDay;
  }
  result.time = date.wHour * 3600 + date.wMinute * 60 + date.wSecond;
  return result;
}

ZoneRules system_zone() {
  ZoneRules rules;
  TIME_ZONE_INFORMATION info;
  const DWORD kind = GetTimeZoneInformation(&info);
  if (kind == TIME_ZONE_ID_INVALID) return rules;
  rules.std_offset = static_cast<int32_t>(-(info.Bias + info.StandardBias) * 60);
  rules.dst_offset = static_cast<int32_t>(-(info.Bias + info.DaylightBias) * 60);
  rules.has_dst = kind != TIME_ZONE_ID_UNKNOWN && info.DaylightDate.wMonth != 0 &&
                  info.StandardDate.wMonth != 0;
  if (!rules.has_dst) rules.dst_offset = rules.std_offset;
  // Windows gives the start on the standard clock and the end on the daylight clock, as
  // the rules here read them.
  rules.dst_start = change_date(info.DaylightDate);
  rules.dst_end = change_date(info.StandardDate);
  return rules;
}

const ZoneRules& local_zone() {
  if (!zone_loaded) {
    zone_loaded = true;
    const char* tz = std::getenv("TZ");
    std::optional<ZoneRules> rules;
    if (tz != nullptr && tz[0] != '\0') rules = parse_posix_tz(tz);
    zone = rules ? *rules : system_zone();
  }
  return zone;
}

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

std::optional<int64_t> local_to_calendar(const LocalTime& local) {
  const int64_t result = zone_local_to_utc(local_zone(), local);
  if (result < 0 || result > LAST_CALENDAR_TIME) return std::nullopt;
  return result;
}

std::optional<LocalTime> calendar_to_local(int64_t calendar_time) {
  if (calendar_time < 0 || calendar_time > LAST_CALENDAR_TIME) return std::nullopt;
  return zone_utc_to_local(local_zone(), calendar_time);
}

void reload_time_zone() { zone_loaded = false; }

int64_t current_time() { return static_cast<int64_t>(_time64(nullptr)); }

}  // namespace datmend::platform
