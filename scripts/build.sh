#!/usr/bin/env bash
# Configures and builds the project in ./build. Configure warnings are shown;
# only cmake's progress lines are left out.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${TALLOWICK_BUILD_DIR:-$here/build}"
generator=()
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$here" -B "$build" "${generator[@]}" --log-level=WARNING \
  -DCMAKE_BUILD_TYPE="${TALLOWICK_BUILD_TYPE:-RelWithDebInfo}" 2>&1 |
  { grep -v -E '^-- (Configuring done|Generating done|Build files have been written to)' || true; }
cmake --build "$build" --parallel "$(nproc)"
