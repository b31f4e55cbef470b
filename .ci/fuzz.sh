#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time from its committed
# corpus. Any finding (a crash, a leak, a time-out, a broken check) fails the run.
#   FUZZ_SECONDS  seconds per target (default 75)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-75}"
build=build-fuzz-ci
cmake -S . -B "$build" -DDATMEND_FUZZ=ON -DDATMEND_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build "$build" -j2 --target datmend_fuzzer command_line_fuzzer

run_target() {
  local target="$1" seeds="$2"
  local work="$build/run-$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  echo "== fuzzing $target for ${seconds}s"
  # New inputs go to the scratch corpus; the committed seeds are only read.
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=256 -dict=fuzz/datmend.dict -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" 2>"$work/log" || {
    tail -n 60 "$work/log"
    echo "fuzz: $target found a failing input, kept in $work/artifacts/" >&2
    return 1
  }
  grep -E "^stat::number_of_executed_units|^#[0-9]+ *DONE" "$work/log" || true
}

run_target datmend_fuzzer fuzz/corpus
run_target command_line_fuzzer fuzz/command_line_corpus
echo "fuzz: no finding"
