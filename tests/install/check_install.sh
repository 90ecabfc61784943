#!/usr/bin/env bash
# After installing: installs the build into a temporary prefix (and, when the
# build's library is static, a shared build of the same sources into another),
# then, from a directory elsewhere, builds a C and a C++ program against each
# installation, once through find_package(kav) and once through pkg-config,
# and runs them and the installed windchill. The shared library must export
# exactly the functions the installed headers declare with KAV_API.
#   check_install.sh SOURCE BUILD WORK SHARED BUILD_TYPE VERSION CC CXX
set -euo pipefail
src=$1 build=$2 work=$3 shared=$4 build_type=$5 version=$6 cc=$7 cxx=$8

fail() {
  echo "install_check: $*" >&2
  exit 1
}
# Runs a command, showing its output only when it fails.
quiet() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    fail "failed: $*"
  fi
  rm -f "$log"
}
expect() {  # what, expected, actual
  if [ "$2" != "$3" ]; then
    printf 'install_check: %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3" >&2
    exit 1
  fi
}
# A clean environment: no data path, defaults files or library path inherited.
clean_env=(env -u kavfile -u kavdefault -u kavfile_path -u LD_LIBRARY_PATH)

rm -rf "$work"/prefix-* "$work"/consumer-* "$work"/pc-* "$work"/gen-* "$work/elsewhere"
mkdir -p "$work/elsewhere"
elsewhere=$work/elsewhere

variants=()
case "$shared" in
  ON | on | 1 | TRUE | true | YES | yes) variants=("shared:$build") ;;
  *)
    echo "== a shared build of the same sources"
    quiet cmake -S "$src" -B "$work/shared-build" -DBUILD_SHARED_LIBS=ON -DKAV_TESTS=OFF \
      -DKAV_BENCH=OFF -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_C_COMPILER="$cc" \
      -DCMAKE_CXX_COMPILER="$cxx"
    quiet cmake --build "$work/shared-build" -j2
    variants=("static:$build" "shared:$work/shared-build")
    ;;
esac

for variant in "${variants[@]}"; do
  kind=${variant%%:*}
  dir=${variant#*:}
  prefix=$work/prefix-$kind
  echo "== $kind library: cmake --install into $prefix"
  quiet cmake --install "$dir" --prefix "$prefix"

  for f in include/kav/kavdefs.h include/kav/version.h include/kav/calc.h share/kav/units.lup \
    share/man/man1/windchill.1 share/man/man1/kavgrid.1 share/man/man1/kavsounding.1 \
    bin/windchill bin/kavgrid bin/kavsounding; do
    [ -f "$prefix/$f" ] || fail "$kind: $f is not installed"
    [ -L "$prefix/$f" ] && fail "$kind: $f is installed as a link"
  done
  pc=$(find "$prefix" -name kav.pc)
  [ -n "$pc" ] || fail "$kind: no kav.pc"
  targets=$(find "$prefix" -name 'kavTargets*.cmake')
  [ -n "$targets" ] || fail "$kind: no kavTargets.cmake"
  if grep -nE -- '-W[a-z]|-fsanitize|kav_options|kav_(base|console|config|units|ui|geo|sounding|grid)\b' \
    $targets; then
    fail "$kind: the exported target carries the project's own flags or targets"
  fi
  data=$(realpath "$prefix/share/kav")

  # The Python package, where the build made it: importable from the
  # installation alone, its xarray entry point found by name.
  python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' "$dir/CMakeCache.txt")
  site=$(find "$prefix" -type d -name kav -path '*-packages/kav' | head -n 1)
  if [ -n "$site" ] && [ -n "$python" ]; then
    echo "== $kind library: the installed Python package"
    (cd "$work" && PYTHONPATH=$(dirname "$site") "$python" -c '
import sys, kav
assert kav.__file__.startswith(sys.argv[1]), kav.__file__
f = kav.open(sys.argv[2])
assert len(f) == 1 and f[0].values.shape == (31, 16)
try:
    import xarray
except ImportError:
    sys.exit(0)
ds = xarray.open_dataset(sys.argv[2], engine="kav")
assert ds["TMP"].attrs["long_name"] == "Temperature", ds["TMP"].attrs
' "$prefix" "$src/tests/data/grib/regular_latlon_surface.grib1") ||
      fail "$kind: the installed Python package does not work"
  fi

  gen=$work/gen-$kind
  mkdir -p "$gen"
  for h in "$prefix"/include/kav/*.h; do
    echo "#include <kav/$(basename "$h")>"
  done >"$gen/kav_all.h"

  echo "== $kind library: programs through find_package(kav)"
  for lang in C CXX; do
    quiet cmake -S "$src/tests/install/consumer" -B "$work/consumer-$kind-$lang" -DLANG=$lang \
      -DCMAKE_PREFIX_PATH="$prefix" -DGENERATED="$gen" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx"
    quiet cmake --build "$work/consumer-$kind-$lang"
  done

  echo "== $kind library: programs through pkg-config"
  mkdir -p "$work/pc-$kind"
  flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs kav) ||
    fail "$kind: pkg-config --cflags --libs kav"
  # shellcheck disable=SC2086
  quiet "$cc" -std=c11 -pedantic -Wall -Wextra -Werror -I"$gen" \
    "$src/tests/install/consumer/wind.c" $flags -o "$work/pc-$kind/wind_c"
  # shellcheck disable=SC2086
  quiet "$cxx" -std=c++17 -Wall -Wextra -Werror -I"$gen" \
    "$src/tests/install/consumer/wind.cpp" $flags -o "$work/pc-$kind/wind_cxx"

  echo "== $kind library: running them from $elsewhere"
  libdir=$(dirname "$(find "$prefix" -name 'libkav.*' | head -n 1)")
  cxx_expected=$(printf 'version %s-LINUX-X11\nformulas 3, last wcval\nwind chill 258.3 K' "$version")
  if [ "$kind" = shared ]; then
    # The shared library finds the installed data by itself.
    args=()
    shown=$data
  else
    # A program linked with the static library elsewhere is told where it is.
    args=(-fp "$data")
    shown=$data
  fi
  c_expected=$(printf 'data %s\ntemperature 266.48 K\nwind 7.717 m/s\nwind chill 5.3 F' "$shown")
  for prog in "$work/consumer-$kind-C/wind_c" "$work/pc-$kind/wind_c"; do
    out=$(cd "$elsewhere" && "${clean_env[@]}" LD_LIBRARY_PATH="$libdir" "$prog" "${args[@]}" 2>&1) ||
      fail "$kind: $prog failed: $out"
    expect "$kind: $prog" "$c_expected" "$out"
  done
  for prog in "$work/consumer-$kind-CXX/wind_cxx" "$work/pc-$kind/wind_cxx"; do
    out=$(cd "$elsewhere" && "${clean_env[@]}" LD_LIBRARY_PATH="$libdir" "$prog" 2>&1) ||
      fail "$kind: $prog failed: $out"
    expect "$kind: $prog" "$cxx_expected" "$out"
  done
  # The programs built by CMake run without a library path.
  out=$(cd "$elsewhere" && "${clean_env[@]}" "$work/consumer-$kind-C/wind_c" "${args[@]}" 2>&1) ||
    fail "$kind: wind_c without a library path: $out"
  out=$(cd "$elsewhere" && "${clean_env[@]}" "$prefix/bin/windchill" 20 15 2>&1) ||
    fail "$kind: installed windchill failed: $out"
  expect "$kind: installed windchill 20 15" "5.3" "$out"
  out=$(MANPATH="$prefix/share/man" MANWIDTH=80 MANPAGER=cat man windchill 2>&1) ||
    fail "$kind: man windchill from the installation: $out"
  grep -q '^NAME' <<<"$out" || fail "$kind: man windchill: $out"

  if [ "$kind" = shared ]; then
    echo "== shared library: its name and what it exports"
    so=$(find "$prefix" -name 'libkav.so.*' -type f | head -n 1)
    [ -n "$so" ] || fail "no libkav.so.* installed"
    soname=$(readelf -d "$so" | sed -n 's/.*Library soname: \[\(.*\)\].*/\1/p')
    expect "SONAME of $so" "libkav.so.${version%%.*}" "$soname"
    headers=$(printf '%s|' "$prefix"/include/kav/*.h)
    cmake "-DHEADERS=${headers%|}" -DOUT="$work/public.txt" -DLIST=ON \
      -P "$src/cmake/KavExports.cmake"
    nm -D --defined-only "$so" | awk '{print $NF}' | sed 's/@.*//' | sort -u >"$work/exported.txt"
    sort -u "$work/public.txt" -o "$work/public.txt"
    extra=$(comm -23 "$work/exported.txt" "$work/public.txt")
    missing=$(comm -13 "$work/exported.txt" "$work/public.txt")
    [ -z "$extra" ] || fail "exported but not declared with KAV_API: $(echo $extra)"
    [ -z "$missing" ] || fail "declared with KAV_API but not in the library: $(echo $missing)"
    echo "   $(wc -l <"$work/exported.txt") functions exported, all of the public interface"
  fi
done
echo "== installation checked"
