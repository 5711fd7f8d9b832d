#!/usr/bin/env bash
# Runs the benchmarks (Release build in build-bench/) and prints their figures.
# Usage: bench/run.sh [benchmark filter regex]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j2 --target bench_xbase $(ls build-bench/bench 2>/dev/null | grep -q . && echo "") >/dev/null
filter="${1:-.}"
for b in build-bench/bench/bench_*; do
  [ -x "$b" ] || continue
  "$b" --benchmark_filter="$filter" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
done
