// A small deterministic random generator (splitmix64), so that the benchmark inputs are the
// same bytes from the same seed on every system and standard library.
#ifndef DATMEND_BENCH_RNG_H_
#define DATMEND_BENCH_RNG_H_

#include <cstdint>

namespace datmend::bench {

struct Rng {
  uint64_t state = 0;

  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 to n - 1; n is small, so the modulo bias does not matter here.
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  int between(int low, int high) { return low + below(high - low + 1); }
  // True once in `n` draws on average.
  bool one_in(int n) { return below(n) == 0; }
};

}  // namespace datmend::bench

#endif  // DATMEND_BENCH_RNG_H_
