#include "bench_cases.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace datmend::bench {
namespace {

CaseKind kind_from_name(const std::string& name) {
  if (name == "large") return CaseKind::kLarge;
  if (name == "batch") return CaseKind::kBatch;
  if (name == "linearity") return CaseKind::kLinearity;
  throw std::runtime_error("unknown case kind " + name);
}

}  // namespace

const char* kind_name(CaseKind kind) {
  switch (kind) {
    case CaseKind::kLarge:
      return "large";
    case CaseKind::kBatch:
      return "batch";
    case CaseKind::kLinearity:
      return "linearity";
  }
  return "large";
}

void write_cases(const std::string& path, const std::vector<BenchCase>& cases) {
  std::ofstream out(path, std::ios::trunc);
  for (const BenchCase& c : cases) {
    out << c.name << ' ' << kind_name(c.kind) << ' ' << c.pattern << ' ' << c.files << ' '
        << c.flights << ' ' << c.rows << ' ' << c.input_bytes << ' ' << c.largest_input_bytes
        << '\n';
  }
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<BenchCase> read_cases(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path + " (run bench_inputs first)");
  std::vector<BenchCase> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    BenchCase c;
    std::string kind;
    if (!(fields >> c.name >> kind >> c.pattern >> c.files >> c.flights >> c.rows >>
          c.input_bytes >> c.largest_input_bytes)) {
      throw std::runtime_error("malformed line in " + path + ": " + line);
    }
    c.kind = kind_from_name(kind);
    cases.push_back(c);
  }
  return cases;
}

}  // namespace datmend::bench
