// Times the real datmend program as a whole process on the inputs that bench_inputs wrote,
// against the floor of one cp of the same CSV files into a new directory (and of the same
// copy made with plain reads and writes), and prints a Markdown report on standard output.
// Usage: bench_runner --program <datmend> [--runs N] [--only <case>]... <scratch directory>
// Per case: one untimed run that warms the cache and checks the output (one CSV file per
// flight, the expected number of rows), then N timed runs of the conversion, each on new
// files, each followed by the two timed copies; the runs go round the cases in turn and the medians
// are reported. Dirty pages are written out (sync) before every timed step, so no step pays
// for the one before.
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench_cases.h"
#include "child_process.h"
#include "output_dir.h"

namespace {

using datmend::bench::BenchCase;
using datmend::bench::CaseKind;
using datmend::bench::ChildCommand;
using datmend::bench::ChildRun;

constexpr uint64_t kHeaderLines = 7;  // six header lines and the column-name row
constexpr double kMiB = 1024.0 * 1024.0;

struct RunnerOptions {
  std::string program;
  std::string scratch;
  int runs = 5;
  std::vector<std::string> only;
};

struct Result {
  const BenchCase* bench_case = nullptr;
  std::string error;  // empty when every run worked and the output checked
  uint64_t csv_files = 0;
  uint64_t csv_bytes = 0;
  double wall = 0;     // medians, in seconds
  double cp_wall = 0;  // 0 when not measured
  double cpu = 0;      // user and system time, less disturbed by other work on the machine
  double cp_cpu = 0;
  double user = 0;     // the conversion's user time alone
  double rw_wall = 0;  // the same copy with plain reads and writes, as cat does
  uint64_t max_rss = 0;
};

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string format(const char* fmt, double value) {
  char text[64];
  std::snprintf(text, sizeof text, fmt, value);
  return text;
}

std::string with_commas(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

// What went wrong with a run, or the empty text when it exited with status 0.
std::string failure(const ChildRun& run, const std::string& what, const std::string& out_path) {
  if (run.exit_status == 0) return "";
  if (run.signal != 0) return what + " was killed by signal " + std::to_string(run.signal);
  if (run.exit_status < 0) return what + " could not be started";
  // datmend prints the path of each file, then the message that stopped it.
  std::ifstream in(out_path);
  std::string line;
  std::string last;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) last = line;
  }
  return what + " exited with status " + std::to_string(run.exit_status) + ": " + last;
}

// Checks the CSV files of the warm-up run against what bench_inputs put in.
std::string check_output(const BenchCase& c, const datmend::bench::CsvFiles& csv) {
  if (csv.names.size() != c.flights) {
    return "expected " + std::to_string(c.flights) + " CSV files, found " +
           std::to_string(csv.names.size());
  }
  const uint64_t rows = csv.lines - kHeaderLines * csv.names.size();
  if (csv.lines < kHeaderLines * csv.names.size() || rows != c.rows) {
    return "expected " + with_commas(c.rows) + " data rows, found " + with_commas(rows);
  }
  return "";
}

// One case in progress: its commands, and the samples of its timed runs so far.
struct CaseRun {
  Result result;
  std::string dir;
  std::string cp_dir;
  std::string out_path;
  ChildCommand convert;
  ChildCommand copy;
  std::vector<double> walls;
  std::vector<double> cp_walls;
  std::vector<double> cpus;
  std::vector<double> cp_cpus;
  std::vector<double> users;
  std::vector<double> rw_walls;
  std::vector<std::string> csv_names;
};

void clean(const CaseRun& run) {
  datmend::bench::remove_csv_files(run.dir);
  datmend::bench::remove_dir(run.cp_dir);
}

// The untimed run: warms the cache, checks the output and fixes the cp command.
CaseRun prepare(const BenchCase& c, const RunnerOptions& options) {
  CaseRun run;
  run.result.bench_case = &c;
  run.dir = options.scratch + "/" + c.name;
  run.cp_dir = options.scratch + "/" + c.name + ".cp";
  run.out_path = options.scratch + "/" + c.name + ".out";
  run.convert = {{options.program, c.pattern}, run.dir, run.out_path};
  clean(run);
  const ChildRun warm = run_child(run.convert);
  run.result.error = failure(warm, "datmend", run.out_path);
  if (run.result.error.empty()) {
    const datmend::bench::CsvFiles csv = datmend::bench::find_csv_files(run.dir, true);
    run.result.error = check_output(c, csv);
    run.result.csv_files = csv.names.size();
    run.result.csv_bytes = csv.bytes;
    run.csv_names = csv.names;
    run.copy = {{"cp"}, run.dir, ""};
    run.copy.argv.insert(run.copy.argv.end(), csv.names.begin(), csv.names.end());
    run.copy.argv.push_back(run.cp_dir);
  }
  clean(run);
  return run;
}

// One timed conversion on new files, then (but for linearity cases) one timed cp of what it
// wrote; the outputs are removed afterwards so that only one case's files exist at a time.
void timed_round(CaseRun& run, int round) {
  if (!run.result.error.empty()) return;
  sync();
  const ChildRun converted = run_child(run.convert);
  run.result.error = failure(converted, "datmend", run.out_path);
  if (run.result.error.empty()) {
    run.walls.push_back(converted.wall_seconds);
    run.cpus.push_back(converted.cpu_seconds);
    run.users.push_back(converted.user_seconds);
    run.result.max_rss = std::max(run.result.max_rss, converted.max_rss_bytes);
    std::fprintf(stderr, "  %s run %d: datmend %.3f s (user %.3f s, system %.3f s)\n",
                 run.result.bench_case->name.c_str(), round + 1, converted.wall_seconds,
                 converted.user_seconds, converted.system_seconds);
  }
  if (run.result.error.empty() && run.result.bench_case->kind != CaseKind::kLinearity) {
    datmend::bench::make_empty_dir(run.cp_dir);
    sync();
    const ChildRun copied = run_child(run.copy);
    run.result.error = failure(copied, "cp", "/dev/null");
    run.cp_walls.push_back(copied.wall_seconds);
    run.cp_cpus.push_back(copied.cpu_seconds);
    std::fprintf(stderr, "  %s run %d: cp %.3f s (user %.3f s, system %.3f s)\n",
                 run.result.bench_case->name.c_str(), round + 1, copied.wall_seconds,
                 copied.user_seconds, copied.system_seconds);
  }
  if (run.result.error.empty() && run.result.bench_case->kind != CaseKind::kLinearity) {
    datmend::bench::make_empty_dir(run.cp_dir);
    sync();
    const ChildRun copied = datmend::bench::run_copy_child(run.csv_names, run.dir, run.cp_dir);
    if (copied.exit_status != 0) run.result.error = "the read/write copy failed";
    run.rw_walls.push_back(copied.wall_seconds);
    std::fprintf(stderr, "  %s run %d: read/write copy %.3f s (user %.3f s, system %.3f s)\n",
                 run.result.bench_case->name.c_str(), round + 1, copied.wall_seconds,
                 copied.user_seconds, copied.system_seconds);
  }
  clean(run);
}

Result finish(const CaseRun& run) {
  Result result = run.result;
  result.wall = median(run.walls);
  result.cp_wall = median(run.cp_walls);
  result.cpu = median(run.cpus);
  result.cp_cpu = median(run.cp_cpus);
  result.user = median(run.users);
  result.rw_wall = median(run.rw_walls);
  return result;
}

std::string cpu_model() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) == 0) {
      const size_t colon = line.find(':');
      if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
    }
  }
  return "unknown CPU";
}

// Other work on the machine shows up in the figures; the load average says how much there was.
double load_average() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : 0;
}

std::string machine_line(int runs) {
  char date[64];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
  utsname system{};
  uname(&system);
  const char* tz = std::getenv("TZ");
  return std::string(date) + "; " + cpu_model() + ", " +
         std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores (nproc); " + system.sysname + " " +
         system.release + "; TZ " + (tz && *tz ? tz : "unset (system zone)") + "; median of " +
         std::to_string(runs) + (runs == 1 ? " run" : " runs") + "; load average " +
         format("%.2f", load_average()) + " at the start";
}

std::string case_label(const BenchCase& c) {
  return c.name + " (" + with_commas(c.files) + (c.files == 1 ? " file, " : " files, ") +
         with_commas(c.flights) + " flights)";
}

void print_results(const std::vector<Result>& results) {
  std::puts(
      "| case | input | CSV written | rows | wall | input MB/s | rows/s | CSV MB/s | peak RSS "
      "| cp floor | wall / cp | CPU | cp CPU | read/write copy | wall / rw |");
  std::puts("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|");
  for (const Result& r : results) {
    const BenchCase& c = *r.bench_case;
    if (c.kind == CaseKind::kLinearity) continue;
    if (!r.error.empty()) {
      std::printf("| %s | %s MB | failed: %s | | | | | | | | | | | | |\n", case_label(c).c_str(),
                  format("%.1f", c.input_bytes / 1e6).c_str(), r.error.c_str());
      continue;
    }
    std::printf(
        "| %s | %.1f MB | %.1f MB in %s files | %s | %.3f s | %.1f | %.2f M | %.0f | "
        "%.1f MiB | %.3f s | %.2f | %.3f s | %.3f s | %.3f s | %.2f |\n",
        case_label(c).c_str(), c.input_bytes / 1e6, r.csv_bytes / 1e6,
        with_commas(r.csv_files).c_str(), with_commas(c.rows).c_str(), r.wall,
        c.input_bytes / 1e6 / r.wall, c.rows / 1e6 / r.wall, r.csv_bytes / 1e6 / r.wall,
        r.max_rss / kMiB, r.cp_wall, r.wall / r.cp_wall, r.cpu, r.cp_cpu, r.rw_wall,
        r.wall / r.rw_wall);
  }
}

// A target is judged by wall time; the CPU-time figure shows what a busy machine hides.
void print_target(const std::string& what, const std::string& measured, const std::string& by_cpu,
                  bool met) {
  std::printf("| %s | %s | %s | %s |\n", what.c_str(), measured.c_str(), by_cpu.c_str(),
              met ? "met" : "NOT MET");
}

// The linearity cases with the large case they were cut from, smallest first.
std::vector<const Result*> linearity_series(const std::vector<Result>& results) {
  std::vector<const Result*> series;
  for (const Result& r : results) {
    if (r.bench_case->kind == CaseKind::kLinearity && r.error.empty()) series.push_back(&r);
  }
  if (series.empty()) return series;
  const std::string& first = series.front()->bench_case->name;
  const std::string prefix = first.substr(0, first.find('-') + 1);
  for (const Result& r : results) {
    if (r.bench_case->kind == CaseKind::kLarge && r.error.empty() &&
        r.bench_case->name.rfind(prefix, 0) == 0) {
      series.push_back(&r);
    }
  }
  std::sort(series.begin(), series.end(), [](const Result* a, const Result* b) {
    return a->bench_case->rows < b->bench_case->rows;
  });
  return series;
}

double ns_per_row(const Result& r) {
  return r.wall * 1e9 / static_cast<double>(r.bench_case->rows);
}

void print_targets(const std::vector<Result>& results) {
  std::puts("| target | measured (by wall time) | by CPU time | |");
  std::puts("|---|---:|---:|---|");
  for (const Result& r : results) {
    const BenchCase& c = *r.bench_case;
    if (c.kind == CaseKind::kLinearity || !r.error.empty()) continue;
    const double limit = static_cast<double>(c.largest_input_bytes) + 4 * kMiB;
    const double cp_limit = c.kind == CaseKind::kLarge ? 3.5 : 2;
    if (c.kind == CaseKind::kLarge) {
      const double rate = r.csv_bytes / 1e6 / r.wall;
      print_target(c.name + ": CSV output >= 1000 MB/s", format("%.0f MB/s", rate),
                   format("%.0f MB/s", r.csv_bytes / 1e6 / r.cpu), rate >= 1000);
    }
    print_target(c.name + ": wall <= " + format("%.1f", cp_limit) + " x cp",
                 format("%.2f x", r.wall / r.cp_wall), format("%.2f x", r.cpu / r.cp_cpu),
                 r.wall <= cp_limit * r.cp_wall);
    print_target(
        c.name + ": peak RSS <= largest input + 4 MiB (" + format("%.1f MiB", limit / kMiB) + ")",
        format("%.1f MiB", r.max_rss / kMiB), "", static_cast<double>(r.max_rss) <= limit);
  }
  const std::vector<const Result*> series = linearity_series(results);
  if (series.size() >= 2) {
    const Result& first = *series.front();
    const Result& last = *series.back();
    const double by_wall = ns_per_row(last) / ns_per_row(first) - 1;
    const double by_cpu = (last.cpu / static_cast<double>(last.bench_case->rows)) /
                              (first.cpu / static_cast<double>(first.bench_case->rows)) -
                          1;
    print_target("time linear in rows: ns/row of " + last.bench_case->name + " within 15% of " +
                     first.bench_case->name,
                 format("%+.1f%%", by_wall * 100), format("%+.1f%%", by_cpu * 100),
                 by_wall <= 0.15);
  }
}

void print_linearity(const std::vector<Result>& results) {
  const std::vector<const Result*> series = linearity_series(results);
  if (series.empty()) return;
  std::puts(
      "| case | rows | wall | ns per row | vs the smallest | CPU ns per row | user ns per row "
      "|");
  std::puts("|---|---:|---:|---:|---:|---:|---:|");
  const double base = ns_per_row(*series.front());
  for (const Result* r : series) {
    const double rows = static_cast<double>(r->bench_case->rows);
    std::printf("| %s | %s | %.3f s | %.1f | %.2f | %.1f | %.1f |\n",
                case_label(*r->bench_case).c_str(), with_commas(r->bench_case->rows).c_str(),
                r->wall, ns_per_row(*r), ns_per_row(*r) / base, r->cpu * 1e9 / rows,
                r->user * 1e9 / rows);
  }
}

int usage() {
  std::fputs(
      "usage: bench_runner --program <datmend> [--runs N] [--only <case>]... <scratch dir>\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  RunnerOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--program" && i + 1 < argc) {
      options.program = argv[++i];
    } else if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      options.only.emplace_back(argv[++i]);
    } else if (!arg.empty() && arg[0] != '-' && options.scratch.empty()) {
      options.scratch = arg;
    } else {
      return usage();
    }
  }
  if (options.program.empty() || options.scratch.empty()) return usage();
  try {
    // The children run in the case directories.
    options.scratch = std::filesystem::absolute(options.scratch).string();
    if (options.program.find('/') != std::string::npos) {
      options.program = std::filesystem::absolute(options.program).string();
    }
    const std::vector<BenchCase> cases =
        datmend::bench::read_cases(options.scratch + "/" + datmend::bench::CASES_FILE);
    const std::string machine = machine_line(options.runs);
    std::vector<CaseRun> runs;
    for (const BenchCase& c : cases) {
      if (!options.only.empty() &&
          std::find(options.only.begin(), options.only.end(), c.name) == options.only.end()) {
        continue;
      }
      std::fprintf(stderr, "bench_runner: checking %s\n", c.name.c_str());
      runs.push_back(prepare(c, options));
    }
    // Round by round across the cases, so that a change in the machine's other work shifts
    // every case alike instead of one.
    for (int round = 0; round < options.runs; ++round) {
      for (CaseRun& run : runs) timed_round(run, round);
    }
    std::vector<Result> results;
    for (const CaseRun& run : runs) results.push_back(finish(run));
    // A child's peak memory includes the forked runner; this is what an empty program shows.
    const ChildRun floor = datmend::bench::run_child({{"true"}, "", ""});

    std::printf("## Whole-process benchmark\n\n%s, %.2f at the end.\n\n", machine.c_str(),
                load_average());
    print_results(results);
    std::puts("");
    print_linearity(results);
    std::puts("");
    print_targets(results);
    std::printf(
        "\nMB = 10^6 bytes. wall: the whole datmend process from fork to exit. cp floor: one "
        "`cp` of the CSV files that run wrote into a new directory (GNU cp copies inside the "
        "kernel, copy_file_range); read/write copy: the same copy with plain reads and writes "
        "of 128 KiB, as cat does, in a forked child of the runner. CPU: user and system time "
        "of the process, which other work on the machine disturbs less. Peak RSS: the child's "
        "ru_maxrss; `true` started the same way shows %.1f MiB.\n",
        floor.max_rss_bytes / kMiB);

    bool failed = false;
    for (const Result& r : results) failed = failed || !r.error.empty();
    return failed ? 1 : 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_runner: %s\n", error.what());
    return 1;
  }
}
