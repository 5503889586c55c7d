#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ (in build-fuzz/) and runs each for a bounded time,
# at the lowest priority. Inputs that break a property are written to build-fuzz/findings/;
# copy them into fuzz/regressions/<target>/ once fixed, where the tests replay them.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
#   scripts/fuzz.sh --replay <folder holding replay_<target>> [target ...]
#   scripts/fuzz.sh --list
# The targets are the ones fuzz/CMakeLists.txt names in TELMORAX_FUZZ_TARGETS. --replay runs
# each target's checks (the replay_<target> programs of the ordinary build) over exactly the
# saved inputs a fuzz run reads; the test suite runs every target that way.
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

mode="${1:-}"
if [ "$mode" = --list ]; then
  all_targets
  exit
fi
if [ "$mode" = --replay ]; then
  bin="$2"
  shift 2
else
  seconds="${1:-60}"
  shift || true
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || read -ra targets <<< "$(all_targets)"

if [ "$mode" = --replay ]; then
  for t in "${targets[@]}"; do
    folders="$(inputs "$t")"
    mapfile -t folders <<< "$folders"
    "$bin/replay_$t" "${folders[@]}"
  done
  exit
fi

scripts/deps.sh clang libclang-rt-14-dev
cmake -S . -B build-fuzz -DTELMORAX_FUZZ=ON -DTELMORAX_BUILD_TESTS=OFF -DTELMORAX_BUILD_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
nice -n 19 cmake --build build-fuzz -j 2 --target "${targets[@]/#/fuzz_}"

mkdir -p build-fuzz/findings
# Temporary files (the settings target writes one per input) in memory when there is room.
tmp="${TMPDIR:-/tmp}"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then tmp=/dev/shm; fi
status=0
for t in "${targets[@]}"; do
  folders="$(inputs "$t")"
  mapfile -t folders <<< "$folders"
  # libFuzzer adds what it learns to the first folder (a working copy); the seeds and the
  # regressions are read as they are.
  work="build-fuzz/corpus/$t"
  mkdir -p "$work"
  echo "== fuzz_$t for ${seconds}s"
  if ! TMPDIR="$tmp" ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen nice -n 19 "build-fuzz/fuzz/fuzz_$t" \
      -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$t-" "$work" "${folders[@]}" 2>&1 | tail -n 40; then
    status=1
  fi
done
ls build-fuzz/findings
exit $status
