// Runs the built program through fork and exec, with its standard output and standard
// error on two pipes. The program never writes to standard error: anything that arrives
// there (a sanitizer report, a stray diagnostic) fails the calling test.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/cli_runner.h"

extern char** environ;

namespace datmend::testing {
namespace {

// A run that takes longer than this has hung.
constexpr auto kTimeLimit = std::chrono::seconds(300);

// The user and group "nobody".
constexpr uid_t kUnprivilegedId = 65534;

// The words of DATMEND_TEST_WRAPPER, or none.
std::vector<std::string> wrapper_words() {
  std::vector<std::string> words;
  const char* wrapper = std::getenv("DATMEND_TEST_WRAPPER");
  if (wrapper == nullptr) return words;
  std::string word;
  for (const char* c = wrapper;; ++c) {
    if (*c == ' ' || *c == '\0') {
      if (!word.empty()) words.push_back(word);
      word.clear();
      if (*c == '\0') break;
    } else {
      word += *c;
    }
  }
  return words;
}

std::string variable_name(const char* entry) {
  const char* equals = std::strchr(entry, '=');
  return equals == nullptr ? std::string(entry) : std::string(entry, equals);
}

// The environment of the child: ours, minus the removed and the replaced variables, plus
// the given ones.
std::vector<std::string> child_environment(const CliOptions& options) {
  std::set<std::string> dropped(options.unset_env.begin(), options.unset_env.end());
  for (const auto& [name, value] : options.env) dropped.insert(name);
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (dropped.count(variable_name(*entry)) == 0) entries.emplace_back(*entry);
  }
  for (const auto& [name, value] : options.env) entries.push_back(name + "=" + value);
  return entries;
}

// Moves everything available on `fd` into `out`; false at the end of the stream.
bool drain(int fd, std::string& out) {
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
      out.append(chunk, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
}

}  // namespace

std::string datmend_binary() { return DATMEND_BINARY; }

bool can_run_unprivileged() { return geteuid() == 0; }

CliResult run_datmend(const std::vector<std::string>& args, const CliOptions& options) {
  CliResult result;
  // Everything the child needs is prepared before the fork: after it, only calls that are
  // safe in a child of a possibly multi-threaded process.
  const std::string binary = datmend_binary();
  std::vector<std::string> arg_strings = wrapper_words();
  const std::string program = arg_strings.empty() ? binary : arg_strings.front();
  arg_strings.push_back(binary);
  arg_strings.insert(arg_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : arg_strings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_strings = child_environment(options);
  std::vector<char*> envp;
  for (std::string& entry : env_strings) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return result;
  }
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  const pid_t child = fork();
  if (child == 0) {
    const int null_input = open("/dev/null", O_RDONLY);
    if (null_input < 0 || dup2(null_input, 0) < 0 || dup2(out_pipe[1], 1) < 0 ||
        dup2(err_pipe[1], 2) < 0) {
      _exit(126);
    }
    if (!options.working_dir.empty() && chdir(options.working_dir.c_str()) != 0) _exit(126);
    if (options.file_size_limit != 0) {
      const rlimit limit{options.file_size_limit, options.file_size_limit};
      if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    if (options.unprivileged && (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 ||
                                 setuid(kUnprivilegedId) != 0)) {
      _exit(126);
    }
    execvpe(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (child < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  fcntl(out_pipe[0], F_SETFL, O_NONBLOCK);
  fcntl(err_pipe[0], F_SETFL, O_NONBLOCK);

  std::string error_output;
  bool out_open = true;
  bool err_open = true;
  bool timed_out = false;
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  while (out_open || err_open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      kill(child, SIGKILL);
      break;
    }
    pollfd fds[2] = {{out_open ? out_pipe[0] : -1, POLLIN, 0},
                     {err_open ? err_pipe[0] : -1, POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      ADD_FAILURE() << "poll: " << std::strerror(errno);
      kill(child, SIGKILL);
      break;
    }
    if (out_open && fds[0].revents != 0) out_open = drain(out_pipe[0], result.output);
    if (err_open && fds[1].revents != 0) err_open = drain(err_pipe[0], error_output);
  }
  close(out_pipe[0]);
  close(err_pipe[0]);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
    if (result.exit_status == 126 || result.exit_status == 127) {
      ADD_FAILURE() << "could not start " << binary;
    }
  } else if (WIFSIGNALED(status)) {
    ADD_FAILURE() << binary << " ended by signal " << WTERMSIG(status)
                  << (timed_out ? " (time limit reached)" : "");
  }
  if (!error_output.empty()) {
    ADD_FAILURE() << binary << " wrote to standard error:\n" << error_output;
  }
  return result;
}

}  // namespace datmend::testing
