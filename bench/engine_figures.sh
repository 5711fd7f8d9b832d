#!/usr/bin/env bash
# The table engine's figures on the 1,000,000-row book: every benchmark of bench_xbase run RUNS
# times (default 3), each run in a process of its own so that its peak memory is its own, and
# the median wall time, CPU time and peak resident memory printed per benchmark.
#
#   bench/engine_figures.sh [RUNS] [FILTER]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
filter=${2:-.}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j2 --target bench_xbase >/dev/null
bin=build-bench/bench/bench_xbase
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# Make the shared book once, outside any figure.
"$bin" --benchmark_filter='BM_Seek' >/dev/null
for name in $("$bin" --benchmark_list_tests --benchmark_filter="$filter"); do
  for ((i = 0; i < runs; i++)); do
    "$bin" --benchmark_filter="^${name}\$" --benchmark_format=json 2>/dev/null >>"$out"
  done
done
/usr/bin/python3 - "$out" <<'PY'
import json, re, statistics, sys
text = open(sys.argv[1]).read()
docs, dec, i = [], json.JSONDecoder(), 0
while i < len(text):
    if text[i].isspace():
        i += 1
        continue
    d, i = dec.raw_decode(text, i)
    docs.append(d)
rows = {}
for d in docs:
    for b in d["benchmarks"]:
        r = rows.setdefault(b["name"], {"unit": b["time_unit"], "real": [], "cpu": [], "rss": []})
        r["real"].append(b["real_time"])
        r["cpu"].append(b["cpu_time"])
        if "maxrss_MB" in b:
            r["rss"].append(b["maxrss_MB"])
print(f"{'benchmark':42} {'median wall':>12} {'median cpu':>12} {'peak RSS MB':>12}  runs")
for name, r in rows.items():
    rss = f"{statistics.median(r['rss']):.0f}" if r["rss"] else "-"
    print(f"{name:42} {statistics.median(r['real']):>9.1f} {r['unit']:2} {statistics.median(r['cpu']):>9.1f} {r['unit']:2} {rss:>12}  {len(r['real'])}")
PY
