// The list of benchmark cases that bench_inputs writes beside the inputs ("cases.txt") and
// bench_runner reads: one line per case, fields separated by spaces.
#ifndef DATMEND_BENCH_BENCH_CASES_H_
#define DATMEND_BENCH_BENCH_CASES_H_

#include <cstdint>
#include <string>
#include <vector>

namespace datmend::bench {

enum class CaseKind {
  kLarge,      // one file at the format's limits
  kBatch,      // many small files named by one pattern
  kLinearity,  // a smaller copy of a large case, for the time per row
};

struct BenchCase {
  std::string name;  // also the directory, under the scratch directory, of its inputs
  CaseKind kind = CaseKind::kLarge;
  std::string pattern;  // the one argument given to datmend, run in that directory
  uint64_t files = 0;
  uint64_t flights = 0;  // each gives one CSV file: flight numbers are unique in a case
  uint64_t rows = 0;     // data rows of all CSV files together
  uint64_t input_bytes = 0;
  uint64_t largest_input_bytes = 0;
};

inline constexpr const char* CASES_FILE = "cases.txt";

const char* kind_name(CaseKind kind);

// Throw std::runtime_error on a file that cannot be written or read.
void write_cases(const std::string& path, const std::vector<BenchCase>& cases);
std::vector<BenchCase> read_cases(const std::string& path);

}  // namespace datmend::bench

#endif  // DATMEND_BENCH_BENCH_CASES_H_
