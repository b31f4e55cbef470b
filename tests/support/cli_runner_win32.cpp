// Runs the built program on Windows: CreateProcessA with a quoted command line, standard
// output through a pipe, standard input and standard error on the NUL device.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "support/cli_runner.h"

namespace datmend::testing {
namespace {

// Appends one argument quoted so that the C runtime's parser gives it back unchanged:
// backslashes are literal except before a quote, where each one is doubled and the quote
// escaped.
void append_quoted(std::string& line, std::string_view arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    line += arg;
    return;
  }
  line += '"';
  size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line.append(backslashes * 2 + 1, '\\');
    } else {
      line.append(backslashes, '\\');
    }
    backslashes = 0;
    line += c;
  }
  // Before the closing quote every backslash is doubled.
  line.append(backslashes * 2, '\\');
  line += '"';
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// The name of a "NAME=value" entry. Entries that begin with "=" (the hidden per-drive
// directories) keep their first "=" in the name.
std::string_view entry_name(std::string_view entry) { return entry.substr(0, entry.find('=', 1)); }

// The current environment, less the variables to remove or replace, plus the ones to set:
// a block of zero-terminated entries ended by an empty one, sorted by name as Windows
// keeps it.
std::string environment_block(const CliOptions& options) {
  std::vector<std::string> entries;
  if (char* strings = GetEnvironmentStringsA()) {
    for (const char* p = strings; *p != '\0'; p += std::strlen(p) + 1) entries.emplace_back(p);
    FreeEnvironmentStringsA(strings);
  }
  const auto removed = [&options](const std::string& entry) {
    const std::string_view name = entry_name(entry);
    for (const std::string& unset : options.unset_env) {
      if (same_name(name, unset)) return true;
    }
    for (const auto& [set, value] : options.env) {
      if (same_name(name, set)) return true;
    }
    return false;
  };
  std::erase_if(entries, removed);
  for (const auto& [name, value] : options.env) entries.push_back(name + "=" + value);
  std::stable_sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
    const std::string_view x = entry_name(a);
    const std::string_view y = entry_name(b);
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char l, char r) {
      return std::toupper(static_cast<unsigned char>(l)) <
             std::toupper(static_cast<unsigned char>(r));
    });
  });
  std::string block;
  for (const std::string& entry : entries) {
    block += entry;
    block += '\0';
  }
  block += '\0';
  return block;
}

struct Handle {
  HANDLE value = INVALID_HANDLE_VALUE;
  Handle() = default;
  explicit Handle(HANDLE h) : value(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }
  void reset() {
    if (value != INVALID_HANDLE_VALUE && value != nullptr) CloseHandle(value);
    value = INVALID_HANDLE_VALUE;
  }
};

}  // namespace

std::string datmend_binary() {
  std::string path = DATMEND_BINARY;
  // A cross build names the program by its host path; under Wine the drive Z: is the
  // host's root.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  return path;
}

// Permission bits and file-size limits are POSIX matters; the suites skip those cases here.
bool can_run_unprivileged() { return false; }

CliResult run_datmend(const std::vector<std::string>& args, const CliOptions& options) {
  CliResult result;
  const std::string program = datmend_binary();
  std::string line;
  append_quoted(line, program);
  for (const std::string& arg : args) {
    line += ' ';
    append_quoted(line, arg);
  }
  std::string environment = environment_block(options);

  SECURITY_ATTRIBUTES inherit{};
  inherit.nLength = sizeof(inherit);
  inherit.bInheritHandle = TRUE;
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  Handle reader(read_end);
  Handle writer(write_end);
  SetHandleInformation(reader.value, HANDLE_FLAG_INHERIT, 0);
  Handle null_in(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr));
  Handle null_err(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr));

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in.value;
  startup.hStdOutput = writer.value;
  startup.hStdError = null_err.value;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(
      program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, environment.data(),
      options.working_dir.empty() ? nullptr : options.working_dir.c_str(), &startup, &process);
  // Only the child may hold the write end now, so the read below ends when the child does.
  writer.reset();
  null_in.reset();
  null_err.reset();
  if (!started) return result;
  Handle process_handle(process.hProcess);
  Handle thread_handle(process.hThread);

  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(reader.value, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    result.output.append(chunk, got);
  }
  WaitForSingleObject(process_handle.value, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(process_handle.value, &code)) return result;
  // An unhandled exception ends the process with its NTSTATUS code (0xC0000005, ...).
  if ((code & 0xC0000000u) == 0xC0000000u) return result;
  result.exit_status = static_cast<int>(code);
  return result;
}

}  // namespace datmend::testing
