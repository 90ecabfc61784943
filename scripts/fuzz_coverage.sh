#!/bin/bash
# Line coverage of the fuzz harnesses: builds the replay programs with clang's
# source coverage, replays each harness's corpus and prints, per harness, the
# lines of the reader it aims at that the corpus reaches.
#
#   scripts/fuzz_coverage.sh [CORPUS_ROOT]
#
# CORPUS_ROOT holds one directory per harness (default: the committed corpora,
# tests/fuzz/corpus). The build goes to build-cov; the reports to
# build-cov/coverage/<harness>.txt.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
corpora=${1:-$top/tests/fuzz/corpus}
out=$top/build-cov
flags="-fprofile-instr-generate -fcoverage-mapping"
mkdir -p "$out"
CC=clang CXX=clang++ cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=Debug -DKAV_BENCH=OFF \
  -DKAV_PYTHON=OFF "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
  "-DCMAKE_EXE_LINKER_FLAGS=$flags" > "$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }

# The sources each harness aims at.
aims() {
  local g=$top/src/lib
  case $1 in
    grib1_fuzz) ls $g/grid/grib_*.cpp $g/grid/grd_read_grib.cpp ;;
    grib2_fuzz) ls $g/grid/grib2_*.cpp ;;
    cdf_fuzz) ls $g/grid/cdf_*.cpp $g/grid/grd_read_cdf.cpp ;;
    grd_text_fuzz | grd_header_fuzz) ls $g/grid/grd_read.cpp $g/grid/grd_read_text.cpp ;;
    grd_char_fuzz) ls $g/grid/grd_read_char.cpp ;;
    region_fuzz) ls $g/geo/region.cpp ;;
    cty_read_fuzz) ls $g/geo/cty_read.cpp $g/geo/cty_tool.cpp ;;
    sounding_text_fuzz) ls $g/sounding/ua_read_text.cpp $g/sounding/ua_read.cpp $g/sounding/ua_calc*.cpp ;;
    var_table_fuzz) ls $g/units/var_tool.cpp $g/units/plot_label.cpp ;;
    units_fuzz) ls $g/units/unittool.cpp ;;
    def_read_fuzz) ls $g/config/def_read.cpp ;;
    name_conv_fuzz) ls $g/config/files_conv.cpp ;;
    cmdline_fuzz) ls $g/config/resrc*.cpp ;;
    mqueue_frame_fuzz) ls $g/config/mqueue.cpp ;;
    parse_command_fuzz) ls $g/base/string.cpp ;;
  esac
}

mkdir -p "$out/coverage"
printf '%-20s %8s %8s %7s\n' harness lines covered percent
for dir in "$corpora"/*_fuzz; do
  h=$(basename "$dir")
  nice cmake --build "$out" -j"$(nproc)" --target "$h" > "$out/coverage/$h.build.log" 2>&1
  rm -f "$out/coverage/$h".*.profraw
  LLVM_PROFILE_FILE="$out/coverage/$h.%p.profraw" \
    "$out/bin/$h" "$dir" > /dev/null 2>&1 || true
  llvm-profdata merge -sparse "$out/coverage/$h".*.profraw -o "$out/coverage/$h.profdata"
  rm -f "$out/coverage/$h".*.profraw
  # shellcheck disable=SC2046
  llvm-cov report "$out/bin/$h" -instr-profile="$out/coverage/$h.profdata" $(aims "$h") \
    > "$out/coverage/$h.txt"
  awk -v h="$h" '/^TOTAL/ { printf "%-20s %8d %8d %6.1f%%\n", h, $8, $8 - $9, $10 + 0 }' \
    "$out/coverage/$h.txt"
done
