#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ and runs each for a bounded time, at the lowest
# priority. Inputs that break a property are written to build-fuzz/findings/; copy them into
# fuzz/regressions/<target>/ once fixed, where every later run (and the test suite) reads them.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]    (in build-fuzz/)
#   scripts/fuzz.sh --check <build folder> [target ...]
#   scripts/fuzz.sh --list
# The targets are the ones fuzz/CMakeLists.txt names in TELMORAX_FUZZ_TARGETS. --check is the
# test suite's run: the same build and the same input folders, each target run over its saved
# inputs and then 500 more, without installing anything.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets() {
  local list
  list="$(tr '\n' ' ' < fuzz/CMakeLists.txt | sed -n 's/.*set( *TELMORAX_FUZZ_TARGETS \([^)]*\)).*/\1/p')"
  [ -n "${list// /}" ] || { echo "no TELMORAX_FUZZ_TARGETS in fuzz/CMakeLists.txt" >&2; return 1; }
  echo $list
}

# The saved inputs of a target, one folder a line: its seeds, which must be there, and the
# inputs that once broke it, when there are any (git keeps no empty folder, and libFuzzer
# stops at a folder that does not exist).
inputs() {
  local t="$1"
  [[ " $(all_targets) " == *" $t "* ]] || { echo "$t is not among TELMORAX_FUZZ_TARGETS" >&2; return 1; }
  [ -f "fuzz/fuzz_$t.cpp" ] || { echo "fuzz/fuzz_$t.cpp is missing" >&2; return 1; }
  [ -n "$(ls -A "fuzz/corpus/$t" 2>/dev/null)" ] || { echo "fuzz/corpus/$t holds no seed input" >&2; return 1; }
  echo "fuzz/corpus/$t"
  if [ -d "fuzz/regressions/$t" ]; then echo "fuzz/regressions/$t"; fi
}

mode=run
build=build-fuzz
seconds=60
case "${1:-}" in
  --list) all_targets; exit ;;
  --check) mode=check; build="${2:?--check needs a build folder}"; shift 2 ;;
  *) seconds="${1:-60}"; shift || true ;;
esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] || read -ra targets <<< "$(all_targets)"
for t in "${targets[@]}"; do inputs "$t" > /dev/null; done

if [ "$mode" = run ]; then
  scripts/deps.sh clang libclang-rt-14-dev
  priority=(nice -n 19)
  limits=(-max_total_time="$seconds")
else
  command -v clang++ > /dev/null || { echo "clang++ is missing: scripts/deps.sh installs it" >&2; exit 1; }
  priority=()
  limits=(-runs=500 -max_total_time=60)
fi
cmake -S . -B "$build" -DTELMORAX_FUZZ=ON -DTELMORAX_BUILD_TESTS=OFF -DTELMORAX_BUILD_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
"${priority[@]}" cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/findings"
# Temporary files (the settings target writes one per input) in memory when there is room.
tmp="${TMPDIR:-/tmp}"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then tmp=/dev/shm; fi
status=0
for t in "${targets[@]}"; do
  mapfile -t folders < <(inputs "$t")
  # libFuzzer adds what it learns to the first folder (a working copy); the seeds and the
  # regressions are read as they are.
  work="$build/corpus/$t"
  mkdir -p "$work"
  echo "== fuzz_$t: ${limits[*]}"
  if ! TMPDIR="$tmp" ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen "${priority[@]}" "$build/fuzz/fuzz_$t" \
      "${limits[@]}" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$t-" "$work" "${folders[@]}" 2>&1 | tail -n 40; then
    status=1
  fi
done
ls "$build/findings"
exit $status
