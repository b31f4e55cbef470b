// Runs the built datmend program as a whole process, for the end-to-end suite.
#ifndef DATMEND_TESTS_SUPPORT_CLI_RUNNER_H_
#define DATMEND_TESTS_SUPPORT_CLI_RUNNER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace datmend::testing {

struct CliResult {
  int exit_status = -1;  // -1 when the process did not end normally (a crash)
  std::string output;    // every byte written to standard output
};

struct CliOptions {
  std::string working_dir;                               // empty: the current one
  std::vector<std::pair<std::string, std::string>> env;  // variables to set
  std::vector<std::string> unset_env;                    // variables to remove
  // POSIX only. The largest file the program may write, in bytes (0: no limit). SIGXFSZ
  // is ignored in the child, so a write beyond the limit fails with "File too large".
  uint64_t file_size_limit = 0;
  // POSIX only. Runs the program as the unprivileged user "nobody" (uid and gid 65534),
  // for whom permission bits count; needs a runner that is root (see can_run_unprivileged).
  bool unprivileged = false;
};

// True when run_datmend can honour CliOptions::unprivileged.
bool can_run_unprivileged();

// Runs the program with `args` (not counting its own path) and collects its standard
// output and exit status.
//
// On POSIX systems the environment variable DATMEND_TEST_WRAPPER, when set, is a command
// (words separated by spaces) that runs the program instead of running it directly, e.g.
//   DATMEND_TEST_WRAPPER="valgrind -q --error-exitcode=97 --leak-check=full"
// Anything the wrapper writes to standard error fails the calling test, as a report of
// the program's own would.
CliResult run_datmend(const std::vector<std::string>& args, const CliOptions& options = {});

// The path of the built program.
std::string datmend_binary();

// The bytes the program writes to standard output for `lines`: standard output is a text
// stream, whose line end is CR LF on Windows.
inline std::string stdout_text(std::string_view lines) {
#ifdef _WIN32
  std::string text;
  text.reserve(lines.size() + lines.size() / 16);
  for (const char c : lines) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
#else
  return std::string(lines);
#endif
}

}  // namespace datmend::testing

#endif  // DATMEND_TESTS_SUPPORT_CLI_RUNNER_H_
