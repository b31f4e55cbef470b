// Runs the built datmend program as a whole process, for the end-to-end suite.
#ifndef DATMEND_TESTS_SUPPORT_CLI_RUNNER_H_
#define DATMEND_TESTS_SUPPORT_CLI_RUNNER_H_

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
};

// Runs the program with `args` (not counting its own path) and collects its standard
// output and exit status.
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
