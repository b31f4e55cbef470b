#!/usr/bin/env bash
# Runs the end-to-end suites with the program under valgrind's memcheck: any invalid read
# or write, use of uninitialised memory, or definite or indirect leak fails the test that
# ran it (the runner fails every test whose program writes to standard error, and memcheck
# reports there).
set -euo pipefail
cd "$(dirname "$0")/.."

# Not in the base image; CI runs as root.
if ! command -v valgrind >/dev/null; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq valgrind
fi
# The plain build of .ci/run's first step (no sanitizer: memcheck needs the program bare);
# VALGRIND_BUILD_DIR names another.
build="${VALGRIND_BUILD_DIR:-build}"
cmake -S . -B "$build" -DDATMEND_SANITIZE=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build "$build" -j2 --target datmend_tests datmend

# 97 tells memcheck's own failure apart from the program's exit status 1.
export DATMEND_TEST_WRAPPER="valgrind -q --error-exitcode=97 --leak-check=full \
--show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect"
"$build/tests/datmend_tests" --gtest_filter='*Cli*' --gtest_brief=1
