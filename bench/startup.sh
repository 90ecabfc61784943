#!/usr/bin/env bash
# Start-up cost of `windchill 20 15` as a whole process, against a C
# hello-world, in one hyperfine run. Usage: bench/startup.sh [build-dir]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
if ! command -v hyperfine >/dev/null; then
  echo "startup: installing hyperfine"
  apt-get install -y -qq hyperfine >/dev/null || { apt-get update -qq && apt-get install -y -qq hyperfine; }
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf '#include <stdio.h>\nint main(void) { puts("5.3"); return 0; }\n' > "$tmp/hello.c"
cc -O2 -o "$tmp/hello" "$tmp/hello.c"
hyperfine -N --warmup 50 --runs 1000 --export-json "$tmp/result.json" \
  "$tmp/hello" "$build/bin/windchill 20 15"
# The goal is a median within 1.5 times the C program's.
medians=$(grep -o '"median": *[0-9.e-]*' "$tmp/result.json" | sed 's/.*: *//')
awk -v a="$(echo "$medians" | sed -n 1p)" -v b="$(echo "$medians" | sed -n 2p)" \
  'BEGIN { printf "median: hello %.3f ms, windchill %.3f ms, ratio %.2f\n", a*1000, b*1000, b/a }'
