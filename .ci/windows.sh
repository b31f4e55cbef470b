#!/usr/bin/env bash
# Cross-builds datmend.exe and the test binary for 64-bit Windows with MinGW-w64 and runs
# the whole suite (unit and end-to-end) under Wine through ctest.
#   bash .ci/windows.sh            build and test (build folder: build-win)
#   WIN_BUILD_DIR=dir bash .ci/windows.sh
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${WIN_BUILD_DIR:-$root/build-win}"
jobs="$(nproc 2>/dev/null || echo 2)"

need_install=0
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need_install=1
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || need_install=1
[ -f /usr/src/googletest/CMakeLists.txt ] || need_install=1
if [ "$need_install" = 1 ]; then
  echo "== installing the MinGW-w64 compilers, Wine and the GoogleTest sources"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends g++-mingw-w64-x86-64 wine64 googletest \
    >/dev/null
fi

wine="/usr/lib/wine/wine64"
[ -x "$wine" ] || wine="$(command -v wine64)"
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

echo "== cross-building into $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" -j"$jobs"

# A prefix of its own, one server for the whole run, no debugger that could write a crash
# dump to a test's standard output, and no Wine chatter.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe=d"
export WINEARCH=win64
# Wine keeps its user profile under HOME.
export HOME="${HOME:-$build}"
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
echo "== preparing the Wine prefix"
"$wine" wineboot -i </dev/null >/dev/null 2>&1

echo "== running the tests under Wine"
ctest --test-dir "$build" -j"$jobs" --output-on-failure --timeout 120
