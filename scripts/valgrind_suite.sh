#!/bin/bash
# Runs every test program of a build (and the corpus replays of the fuzz
# harnesses) under Valgrind's memcheck, the commands the suites start
# included, and lists the programs with an error or a leak.
#
#   scripts/valgrind_suite.sh [BUILD_DIR] [PATTERN]
#
# The test programs bring their own allocator (the failure injection, which
# hands on to the C library's): Valgrind watches the C library's underneath
# instead of replacing theirs. Logs go to BUILD_DIR/valgrind/<program>.log.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
pattern=${2:-}
logs=$build/valgrind
mkdir -p "$logs"
vg=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full
  --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect
  --trace-children=yes --trace-children-skip='/bin/*,/usr/bin/*,*/python3*'
  --child-silent-after-fork=yes --num-callers=30
  --suppressions="$top/tests/fuzz/valgrind.supp"
  --soname-synonyms=somalloc=nouserintercepts)
bad=0
run() {
  local name=$1; shift
  local t0=$SECONDS
  (cd "$build/tests" && HOME="$build/tests/home" "${vg[@]}" --log-file="$logs/$name.%p.log" "$@" \
    > "$logs/$name.out" 2>&1)
  local rc=$?
  local errs
  errs=$(grep -h 'ERROR SUMMARY' "$logs/$name".*.log | awk '{s += $4} END {print s + 0}')
  printf '%-28s exit %3d  errors %4d  %4d s\n' "$name" "$rc" "$errs" $((SECONDS - t0))
  if [ "$rc" -ne 0 ] || [ "$errs" -ne 0 ]; then bad=$((bad + 1)); fi
}
for t in "$build"/bin/*_test; do
  name=$(basename "$t")
  [ -n "$pattern" ] && [[ $name != $pattern ]] && continue
  rm -f "$logs/$name".*.log
  run "$name" "$t" --gtest_brief=1
done
for f in "$build"/bin/*_fuzz; do
  name=$(basename "$f")
  [ -n "$pattern" ] && [[ $name != $pattern ]] && continue
  rm -f "$logs/$name".*.log
  run "$name" "$f" "$top/tests/fuzz/corpus/$name"
done
echo "programs with findings: $bad"
[ "$bad" -eq 0 ]
