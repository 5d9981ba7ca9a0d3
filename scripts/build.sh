#!/usr/bin/env bash
# Configures (once) and builds the project in ./build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${TALLOWICK_BUILD_DIR:-$here/build}"
generator=()
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$here" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE="${TALLOWICK_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
