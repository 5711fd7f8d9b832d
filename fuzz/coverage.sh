#!/usr/bin/env bash
# Functions a fuzz corpus reaches, counted per source folder.
#
#   fuzz/coverage.sh [TARGET...]     default: every target with a corpus under build-fuzz/corpus/
#
# CORPORA=DIR takes the corpora from DIR/<target> instead, BIN=DIR the targets from DIR (for
# figures of older builds).
# Runs each target once over its corpus (-runs=0 -print_coverage=1), keeps the listing in
# build-fuzz/coverage/<target>.txt and prints, per target and for all of them together, the
# functions reached out of those linked in, in src/xbase, src/core/import and src/core/data. With
# SHOW=uncovered it also lists the functions of those folders that no corpus reaches.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
corpora=${CORPORA:-build-fuzz/corpus}
bin=${BIN:-build-fuzz/fuzz}
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for d in "$corpora"/*/; do targets+=("$(basename "$d")"); done
fi
out=${OUT:-build-fuzz/coverage}
mkdir -p "$out"
for t in "${targets[@]}"; do
  "$bin/$t" -runs=0 -print_coverage=1 -timeout=30 -rss_limit_mb=2048 \
    "$corpora/$t" > "$out/$t.txt" 2>&1 || true
done
python3 - "$out" "${targets[@]}" <<'PY'
import re, sys, os
out, targets = sys.argv[1], sys.argv[2:]
folders = ["src/xbase", "src/core/import", "src/core/data"]
line = re.compile(r"^(COVERED|UNCOVERED)_FUNC: hits: (\d+) edges: \d+/\d+ (.*) (\S+):(\d+)$")
union_all, union_cov = {}, set()
print(f"{'target':18}" + "".join(f"{f:>18}" for f in folders))
for t in targets:
    funcs, cov = {}, set()
    for l in open(os.path.join(out, t + ".txt"), errors="replace"):
        m = line.match(l.rstrip("\n"))
        if not m:
            continue
        kind, hits, name, path, ln = m.groups()
        # headers come through the layers' include roots (<build>/layer-include/<layer>/)
        path = re.sub(r"/layer-include/[^/]+/", "/src/", path)
        folder = next((f for f in folders if "/" + f + "/" in path), None)
        if folder is None:
            continue
        key = (name, path.split("/" + folder + "/")[1], ln)
        funcs[key] = folder
        if kind == "COVERED":
            cov.add(key)
    union_all.update(funcs)
    union_cov |= cov
    cells = []
    for f in folders:
        n = sum(1 for k, v in funcs.items() if v == f)
        c = sum(1 for k in cov if funcs[k] == f)
        cells.append(f"{c}/{n}" + (f" ({100*c//n}%)" if n else ""))
    print(f"{t:18}" + "".join(f"{c:>18}" for c in cells))
cells = []
for f in folders:
    n = sum(1 for v in union_all.values() if v == f)
    c = sum(1 for k in union_cov if union_all[k] == f)
    cells.append(f"{c}/{n}" + (f" ({100*c//n}%)" if n else ""))
print(f"{'all together':18}" + "".join(f"{c:>18}" for c in cells))
# The goals named per file: the import run, and the data routines' open, load and store.
for label, want in [("src/core/import/ImportRun.cpp", lambda k: k[1] in ("ImportRun.cpp", "ImportRun.h")),
                    ("open/load/store (Records.cpp)",
                     lambda k: k[1] == "Records.cpp" and re.match(r"(Open|Load|Store|Close|Flush)[A-Za-z]*\(", k[0]))]:
    keys = [k for k in union_all if want(k)]
    print(f"{label}: {sum(1 for k in keys if k in union_cov)}/{len(keys)} reached")
if os.environ.get("SHOW") == "uncovered":
    for k in sorted(set(union_all) - union_cov, key=lambda k: (union_all[k], k[1], int(k[2]))):
        print(f"  unreached {union_all[k]}/{k[1]}:{k[2]}  {k[0]}")
PY
