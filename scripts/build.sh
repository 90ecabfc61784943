#!/usr/bin/env bash
# Installs what is missing, then configures and builds kav into build/ (or the
# directory named by KAV_BUILD_DIR). Extra arguments go to CMake.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
build=${KAV_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
