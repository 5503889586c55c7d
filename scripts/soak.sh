#!/usr/bin/env bash
# A long session through the real window against a stand-in server on loopback (headless):
# prints resident memory, open files and the output pane's emptying over the session.
#   scripts/soak.sh [exchanges, default 5000]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j 2 --target bench_soak
QT_QPA_PLATFORM=offscreen build/bin/bench_soak "${1:-5000}"
