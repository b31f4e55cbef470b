#include "child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace datmend::bench {
namespace {

double monotonic_seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

ChildRun wait_for(pid_t pid, double start) {
  ChildRun run;
  int status = 0;
  rusage usage{};
  pid_t waited;
  do {
    waited = wait4(pid, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  run.wall_seconds = monotonic_seconds() - start;
  if (waited != pid) return run;
  if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.user_seconds = seconds(usage.ru_utime);
  run.system_seconds = seconds(usage.ru_stime);
  run.cpu_seconds = run.user_seconds + run.system_seconds;
#ifdef __APPLE__
  run.max_rss_bytes = static_cast<uint64_t>(usage.ru_maxrss);  // bytes there
#else
  run.max_rss_bytes = static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // KiB
#endif
  return run;
}

// What cat does for each file: read and write through one buffer of its size.
bool copy_files(const std::vector<std::string>& sources, const std::vector<std::string>& targets) {
  std::vector<char> buffer(128 * 1024);
  for (size_t i = 0; i < sources.size(); ++i) {
    const int in = open(sources[i].c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = open(targets[i].c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return false;
    ssize_t got;
    while ((got = read(in, buffer.data(), buffer.size())) > 0) {
      for (ssize_t done = 0; done < got;) {
        const ssize_t put = write(out, buffer.data() + done, static_cast<size_t>(got - done));
        if (put < 0 && errno != EINTR) return false;
        if (put > 0) done += put;
      }
    }
    if (got < 0 || close(out) != 0) return false;
    close(in);
  }
  return true;
}

}  // namespace

ChildRun run_child(const ChildCommand& command) {
  ChildRun run;
  if (command.argv.empty()) return run;
  // Everything the child needs is prepared before the fork: it only calls async-signal-safe
  // functions between fork and exec.
  std::vector<char*> argv;
  for (const std::string& arg : command.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const char* out_path = command.stdout_path.empty() ? "/dev/null" : command.stdout_path.c_str();
  const int out = open(out_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return run;
  const char* dir = command.working_dir.empty() ? nullptr : command.working_dir.c_str();

  const double start = monotonic_seconds();
  const pid_t pid = fork();
  if (pid == 0) {
    if (dir != nullptr && chdir(dir) != 0) _exit(126);
    if (dup2(out, STDOUT_FILENO) < 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out);
  if (pid < 0) return run;
  return wait_for(pid, start);
}

ChildRun run_copy_child(const std::vector<std::string>& names, const std::string& from_dir,
                        const std::string& to_dir) {
  std::vector<std::string> sources;
  std::vector<std::string> targets;
  for (const std::string& name : names) {
    sources.push_back(from_dir + "/" + name);
    targets.push_back(to_dir + "/" + name);
  }
  const double start = monotonic_seconds();
  const pid_t pid = fork();
  if (pid == 0) _exit(copy_files(sources, targets) ? 0 : 1);
  if (pid < 0) return ChildRun{};
  return wait_for(pid, start);
}

}  // namespace datmend::bench
