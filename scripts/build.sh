#!/usr/bin/env bash
# Installs what is missing, then configures and builds kav into build/ (or the
# directory named by KAV_BUILD_DIR). Extra arguments go to CMake. CMake's
# configure output is shown only when configuring fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
build=${KAV_BUILD_DIR:-$top/build}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake -S "$top" -B "$build" "$@" >"$log" 2>&1; then
  cat "$log" >&2
  echo "build: configuring $build failed" >&2
  exit 1
fi
cmake --build "$build" -j "$(nproc)"
