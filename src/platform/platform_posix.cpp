// The platform layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "platform/wildcard.h"

namespace datmend::platform {
namespace {

int recorded_error = 0;

// A reader that closes standard output early (as "| head" does) must not end the run by a
// signal part-way through a file: writes to it then fail quietly, as on the home platform,
// and the CSV files are still written in full.
const bool broken_pipe_ignored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();

int record(int error_number) {
  recorded_error = error_number;
  return error_number;
}

// Paths are kept as typed; the system sees "/" for either separator.
std::string native_path(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

// An empty TZ would read as UTC in the C library; the home platform then takes the
// system's zone instead.
bool time_zone_prepared = false;

void prepare_time_zone() {
  if (time_zone_prepared) return;
  time_zone_prepared = true;
  const char* tz = std::getenv("TZ");
  if (tz != nullptr && tz[0] == '\0') unsetenv("TZ");
  tzset();
}

}  // namespace

std::string error_text(int error_number) { return std::strerror(error_number); }

int last_error() { return recorded_error; }

bool File::close() {
  if (handle_ == -1) return true;
  const int result = ::close(static_cast<int>(handle_));
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
  const std::string native = directory.empty() ? std::string(".") : native_path(directory);
  DIR* dir = opendir(native.c_str());
  if (dir == nullptr) {
    record(ENOENT);
    return false;
  }
  std::vector<std::string> others;
  bool dot = false;
  bool dot_dot = false;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!wildcard_match(pattern, name)) continue;
    if (name == ".") {
      dot = true;
    } else if (name == "..") {
      dot_dot = true;
    } else {
      others.emplace_back(name);
    }
  }
  closedir(dir);
  // The home platform reports "." and ".." before every other entry.
  if (dot) names->emplace_back(".");
  if (dot_dot) names->emplace_back("..");
  names->insert(names->end(), others.begin(), others.end());
  // The search ends with the no-such-file condition, as the home platform's does.
  record(ENOENT);
  return !names->empty();
}

File open_for_reading(const std::string& path, int* error) {
  // Without O_NONBLOCK a FIFO that a pattern happens to match would block the run until
  // some other program opened it for writing.
  const int fd = ::open(native_path(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = record(errno);
    return File();
  }
  File file(fd);
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    // The home platform refuses to open a directory as a file.
    *error = record(EACCES);
    return File();
  }
  const int status = fcntl(fd, F_GETFL);
  if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
    *error = record(errno);
    return File();
  }
  return file;
}

File create_for_writing(const std::string& path, int* error) {
  const int fd = ::open(native_path(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = record(errno);
    return File();
  }
  return File(fd);
}

bool file_size(const File& file, uint64_t* size, int* error) {
  struct stat info;
  if (fstat(static_cast<int>(file.handle()), &info) != 0) {
    *error = record(errno);
    return false;
  }
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

int64_t read_bytes(const File& file, void* buffer, size_t count, int* error) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got =
        ::read(static_cast<int>(file.handle()), static_cast<char*>(buffer) + done, count - done);
    if (got < 0) {
      if (errno == EINTR) continue;
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
    const ssize_t put = ::write(static_cast<int>(file.handle()),
                                static_cast<const char*>(data) + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      *error = record(errno);
      return false;
    }
    if (put == 0) {
      *error = record(EIO);
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

bool seek_to(const File& file, uint64_t offset) {
  if (lseek(static_cast<int>(file.handle()), static_cast<off_t>(offset), SEEK_SET) < 0) {
    record(errno);
    return false;
  }
  return true;
}

std::optional<int64_t> local_to_calendar(const LocalTime& local) {
  prepare_time_zone();
  std::tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  fields.tm_isdst = -1;
  // mktime answers -1 both for failure and for one second before 1970; a failed call
  // leaves tm_wday alone.
  fields.tm_wday = -1;
  const time_t result = mktime(&fields);
  if (result == static_cast<time_t>(-1) && fields.tm_wday == -1) return std::nullopt;
  return static_cast<int64_t>(result);
}

std::optional<LocalTime> calendar_to_local(int64_t calendar_time) {
  prepare_time_zone();
  const time_t t = static_cast<time_t>(calendar_time);
  std::tm fields{};
  if (localtime_r(&t, &fields) == nullptr) return std::nullopt;
  // tm_year may reach INT_MAX; the year itself would then not fit an int.
  if (fields.tm_year > INT_MAX - 1900) return std::nullopt;
  LocalTime local;
  local.year = fields.tm_year + 1900;
  local.month = fields.tm_mon + 1;
  local.day = fields.tm_mday;
  local.hour = fields.tm_hour;
  local.minute = fields.tm_min;
  local.second = fields.tm_sec;
  return local;
}

void reload_time_zone() {
  time_zone_prepared = false;
  prepare_time_zone();
}

int64_t current_time() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace datmend::platform
