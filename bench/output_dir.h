// The CSV files that a conversion left in a directory: what they add up to, and removing
// them again between runs.
#ifndef DATMEND_BENCH_OUTPUT_DIR_H_
#define DATMEND_BENCH_OUTPUT_DIR_H_

#include <cstdint>
#include <string>
#include <vector>

namespace datmend::bench {

struct CsvFiles {
  std::vector<std::string> names;  // sorted, without the directory
  uint64_t bytes = 0;
  uint64_t lines = 0;  // line ends, counted only when asked for
};

// The files of `dir` whose names end in ".CSV" (any letter case).
CsvFiles find_csv_files(const std::string& dir, bool count_lines);

void remove_csv_files(const std::string& dir);

// Removes `dir` with everything in it, if it exists, and creates it empty.
void make_empty_dir(const std::string& dir);
void remove_dir(const std::string& dir);

}  // namespace datmend::bench

#endif  // DATMEND_BENCH_OUTPUT_DIR_H_
