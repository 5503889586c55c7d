#!/usr/bin/env bash
# Builds and runs the benchmarks under Xvfb. They print numbers; none passes or fails on them.
#   scripts/bench.sh [repetitions, default 9]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh xvfb xauth
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j 2 --target bench_startup bench_replies bench_completion bench_standins bench_servers bench_budget bench_stall bench_memory bench_lossy
xvfb-run -a -s "-screen 0 1024x768x24" build/bin/bench_startup "${1:-9}"
xvfb-run -a -s "-screen 0 1600x1200x24" build/bin/bench_replies
xvfb-run -a -s "-screen 0 1024x768x24" build/bin/bench_completion
xvfb-run -a -s "-screen 0 1024x768x24" build/bin/bench_servers
xvfb-run -a -s "-screen 0 1024x768x24" build/bin/bench_budget
xvfb-run -a -s "-screen 0 1024x768x24" build/bin/bench_stall
build/bin/bench_memory
build/bin/bench_lossy
