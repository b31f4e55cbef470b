#!/bin/sh
# Whole-process benchmark in one command: configures a Release build with the benchmark
# tools in build-bench/, builds, writes the inputs from a seed into a scratch directory,
# times datmend on them and prints a Markdown report on standard output (progress goes to
# standard error).
#   bench/run.sh [--quick] [--runs N] [--seed N] [--only CASE]... [--keep]
# --quick: small inputs and one run, to check the setup in seconds.
# --keep: leave the inputs in the scratch directory (build-bench/scratch, or $BENCH_SCRATCH).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
scratch="${BENCH_SCRATCH:-$build/scratch}"

inputs_args=""
runner_args=""
runs=5
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) inputs_args="$inputs_args --quick"; runs=1 ;;
    --runs) runs="$2"; shift ;;
    --seed) inputs_args="$inputs_args --seed $2"; shift ;;
    --only) runner_args="$runner_args --only $2"; shift ;;
    --keep) keep=1 ;;
    *) echo "usage: bench/run.sh [--quick] [--runs N] [--seed N] [--only CASE]... [--keep]" >&2
       exit 2 ;;
  esac
  shift
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDATMEND_BENCH=ON -DDATMEND_TESTS=OFF >&2
cmake --build "$build" -j2 --target datmend bench_inputs bench_runner >&2

rm -rf "$scratch"
mkdir -p "$scratch"
# shellcheck disable=SC2086  # the argument lists are split on purpose
"$build/bench/bench_inputs" $inputs_args "$scratch" >&2
status=0
# shellcheck disable=SC2086
"$build/bench/bench_runner" --program "$build/datmend" --runs "$runs" $runner_args "$scratch" ||
  status=$?
if [ "$keep" = 0 ]; then rm -rf "$scratch"; fi
exit "$status"
