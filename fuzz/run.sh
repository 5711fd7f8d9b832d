#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a bounded time.
#
#   fuzz/run.sh [SECONDS] [TARGET...]    default 60 seconds each; targets fuzz_table fuzz_index
#                                        fuzz_import
# Crashes are saved under fuzz/artifacts/<target>/; copy each into tests/fixtures/broken/
# (tables as .dbf, indexes as .ntx) so the normal suite replays it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
secs=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(fuzz_table fuzz_index fuzz_import)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERROWBY_FUZZ=ON -DMERROWBY_SANITIZE=OFF
cmake --build build-fuzz --target "${targets[@]}" -j2
rc=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  artifacts=fuzz/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  # Seeds: the good and broken files the suite keeps.
  case $t in
    fuzz_table) cp -n tests/fixtures/good/*.dbf tests/fixtures/broken/*.dbf "$corpus"/ 2>/dev/null || true ;;
    fuzz_index) cp -n tests/fixtures/good/*.ntx tests/fixtures/broken/*.ntx "$corpus"/ 2>/dev/null || true ;;
    fuzz_import)
      # The first byte picks the reader's buffer size and the fields kept; then contact lines.
      printf '\x07First,Last,Street\r\nZoe,"Young, Jr",1 Elm\nAl,Ames,"2 Oak\n\x1a' > "$corpus/seed-lines"
      printf '\x0c\xef\xbb\xbfJos\xc3\xa9,M\xc3\xbcller,,,,\r\n\xe9t\xe9,\x80\x81,"a""b"' > "$corpus/seed-encodings" ;;
  esac
  echo "==> $t for ${secs}s"
  if ! "build-fuzz/fuzz/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$artifacts/" "$corpus"; then
    echo "fuzz/run.sh: $t found a crash; see $artifacts/" >&2
    rc=1
  fi
done
exit $rc
