#!/usr/bin/env bash
# Where an uninstalled program finds its data files: the file_path resource
# (-fp) first, then the kavfile environment variable, then share/kav of the
# build, a link to the source tree's data/ -- whatever the working directory.
#   check_data_dir.sh PROBE DATA
set -euo pipefail
probe=$1
data=$(realpath "$2")
fail() {
  printf 'data_dir: %s\n' "$*" >&2
  exit 1
}
elsewhere=$(mktemp -d)
trap 'rm -rf "$elsewhere"' EXIT
clean=(env -u kavfile -u kavdefault -u kavfile_path)

out=$(cd "$elsewhere" && "${clean[@]}" "$probe" 2>&1) || fail "probe failed: $out"
grep -qxF "data $data" <<<"$out" || fail "without file_path: $out"
grep -qx 'wind chill 5.3 F' <<<"$out" || fail "without file_path: $out"

# kavfile names the directory (here one without a units table).
out=$(cd "$elsewhere" && "${clean[@]}" kavfile="$elsewhere" "$probe" 2>&1) && fail "kavfile: $out"
grep -qxF "data $elsewhere" <<<"$out" || fail "kavfile: $out"
grep -q "Unable to open units file: $elsewhere/units.lup" <<<"$out" || fail "kavfile: $out"

# -fp wins over kavfile.
out=$(cd "$elsewhere" && "${clean[@]}" kavfile=/nonexistent "$probe" -fp "$data" 2>&1) ||
  fail "-fp: $out"
grep -qxF "data $data" <<<"$out" || fail "-fp: $out"
echo "data directory checked"
