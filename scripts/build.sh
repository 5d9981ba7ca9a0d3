#!/usr/bin/env bash
# Configures and builds the project in ./build (TALLOWICK_BUILD_DIR).
#
#   scripts/build.sh [TARGET...]      the targets named, or everything
#
# A new build folder is configured with the tests and the benchmark when
# TALLOWICK_WITH_TESTS=1, without them otherwise; a folder configured before
# keeps what it has, unless TALLOWICK_WITH_TESTS says otherwise. Configure
# warnings are shown; only cmake's progress lines are left out.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${TALLOWICK_BUILD_DIR:-$here/build}"
options=(-DCMAKE_BUILD_TYPE="${TALLOWICK_BUILD_TYPE:-RelWithDebInfo}")
# Line tables and function names are what a backtrace needs; the full debug
# information (types and locals) took about a sixth of each compile.
options+=("-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then options+=(-G Ninja); fi
case "${TALLOWICK_WITH_TESTS:-}" in
  1) options+=(-DTALLOWICK_BUILD_TESTS=ON -DTALLOWICK_BUILD_BENCH=ON) ;;
  0) options+=(-DTALLOWICK_BUILD_TESTS=OFF -DTALLOWICK_BUILD_BENCH=OFF) ;;
  *) if [ ! -f "$build/CMakeCache.txt" ]; then
       options+=(-DTALLOWICK_BUILD_TESTS=OFF -DTALLOWICK_BUILD_BENCH=OFF)
     fi ;;
esac
cmake -S "$here" -B "$build" "${options[@]}" --log-level=WARNING 2>&1 |
  { grep -v -E '^-- (Configuring done|Generating done|Build files have been written to)' || true; }
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
