// Runs a program as a child process and measures it as a whole: wall time on a monotonic
// clock from before the fork to the end of the wait, exit status, and the child's peak
// resident memory as the system accounts it (wait4).
#ifndef DATMEND_BENCH_CHILD_PROCESS_H_
#define DATMEND_BENCH_CHILD_PROCESS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace datmend::bench {

struct ChildCommand {
  std::vector<std::string> argv;  // argv[0] is searched in PATH when it holds no "/"
  std::string working_dir;        // empty: the runner's own
  std::string stdout_path;        // the child's standard output goes here; empty: /dev/null
};

struct ChildRun {
  int exit_status = -1;  // -1 when the child did not exit normally or could not start
  int signal = 0;        // the signal that ended it, if one did
  double wall_seconds = 0;
  double user_seconds = 0;    // the child's time in its own code
  double system_seconds = 0;  // and in the kernel on its behalf (page cache, file creation)
  double cpu_seconds = 0;     // the two together
  // Peak resident set of the child. It counts the forked copy of the runner before the exec
  // too, so it is never below the runner's own size at the fork (see spawn_floor).
  uint64_t max_rss_bytes = 0;
};

ChildRun run_child(const ChildCommand& command);

// A forked child of the runner that copies each named file of `from_dir` into `to_dir` with
// plain reads and writes, as cat does; measured like run_child. Exit status 1 on any failure.
ChildRun run_copy_child(const std::vector<std::string>& names, const std::string& from_dir,
                        const std::string& to_dir);

}  // namespace datmend::bench

#endif  // DATMEND_BENCH_CHILD_PROCESS_H_
