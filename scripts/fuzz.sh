#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ (in build-fuzz/) and runs each for a bounded time,
# at the lowest priority. Inputs that break a property are written to build-fuzz/findings/;
# copy them into fuzz/regressions/<target>/ once fixed, where the tests replay them.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]   (targets: reply number settings players colours)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reply number settings players colours)

scripts/deps.sh clang libclang-rt-14-dev
cmake -S . -B build-fuzz -DTELMORAX_FUZZ=ON -DTELMORAX_BUILD_TESTS=OFF -DTELMORAX_BUILD_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
nice -n 19 cmake --build build-fuzz -j 2 --target "${targets[@]/#/fuzz_}"

mkdir -p build-fuzz/findings
status=0
for t in "${targets[@]}"; do
  # libFuzzer adds what it learns to the first folder (a working copy); the seeds and the
  # regressions are read as they are.
  work="build-fuzz/corpus/$t"
  mkdir -p "$work"
  regressions=()  # a target that never broke has none
  [ -d "fuzz/regressions/$t" ] && regressions=("fuzz/regressions/$t")
  echo "== fuzz_$t for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen nice -n 19 "build-fuzz/fuzz/fuzz_$t" \
      -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$t-" \
      "$work" "fuzz/corpus/$t" "${regressions[@]}" 2>&1 | tail -n 40; then
    status=1
  fi
done
ls build-fuzz/findings
exit $status
