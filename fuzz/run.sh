#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a bounded time.
#
#   fuzz/run.sh [SECONDS] [TARGET...]    default 60 seconds each; every target unless named:
#                                        fuzz_table fuzz_index fuzz_indexwrite fuzz_import
#                                        fuzz_importrun fuzz_datafolder
# Each target runs in one process; the windows are not built (-DMERROWBY_GUI=OFF).
# Crashes are saved under fuzz/artifacts/<target>/. Once mended, keep each so that the normal
# suite replays it: a file that must now be refused in tests/fixtures/broken/ (as .dbf or .ntx),
# any other input of fuzz_table, fuzz_indexwrite, fuzz_importrun or fuzz_datafolder as it is in
# tests/fixtures/fuzz/<target>/. fuzz/coverage.sh counts the functions the corpora reach.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
secs=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] ||
  targets=(fuzz_table fuzz_index fuzz_indexwrite fuzz_import fuzz_importrun fuzz_datafolder)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERROWBY_FUZZ=ON -DMERROWBY_SANITIZE=OFF -DMERROWBY_GUI=OFF
cmake --build build-fuzz --target "${targets[@]}" -j2
rc=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  artifacts=fuzz/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  # Seeds: the good and broken files the suite keeps, as they are or their damage laid over the
  # program's own files, behind the steps each target reads (fuzz/make_seeds.py).
  python3 fuzz/make_seeds.py "$t" "$corpus"
  dict=()
  [[ -f fuzz/$t.dict ]] && dict=(-dict="fuzz/$t.dict")
  echo "==> $t for ${secs}s"
  if ! "build-fuzz/fuzz/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 "${dict[@]}" \
       -artifact_prefix="$artifacts/" "$corpus"; then
    echo "fuzz/run.sh: $t found a crash; see $artifacts/" >&2
    rc=1
  fi
done
exit $rc
