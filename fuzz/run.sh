#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a bounded time.
#
#   fuzz/run.sh [SECONDS] [TARGET...]    default 60 seconds each; every target unless named:
#                                        fuzz_table fuzz_index fuzz_indexwrite fuzz_import
#                                        fuzz_importrun fuzz_datafolder
# Each target runs in one process; the windows are not built (-DMERROWBY_GUI=OFF).
# Crashes are saved under fuzz/artifacts/<target>/; copy each into tests/fixtures/broken/
# (tables as .dbf, indexes as .ntx) so the normal suite replays it.
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
  # Seeds: the good and broken files the suite keeps.
  case $t in
    fuzz_table) cp -n tests/fixtures/good/*.dbf tests/fixtures/broken/*.dbf "$corpus"/ 2>/dev/null || true ;;
    fuzz_index) cp -n tests/fixtures/good/*.ntx tests/fixtures/broken/*.ntx "$corpus"/ 2>/dev/null || true ;;
    fuzz_import)
      # The first byte picks the reader's buffer size and the fields kept; then contact lines.
      printf '\x07First,Last,Street\r\nZoe,"Young, Jr",1 Elm\nAl,Ames,"2 Oak\n\x1a' > "$corpus/seed-lines"
      printf '\x0c\xef\xbb\xbfJos\xc3\xa9,M\xc3\xbcller,,,,\r\n\xe9t\xe9,\x80\x81,"a""b"' > "$corpus/seed-encodings" ;;
    fuzz_indexwrite)
      # Each whole index of the fixtures, behind its length, followed by inserts and removes.
      for ntx in tests/fixtures/good/*.ntx; do
        python3 -c 'import sys; b=open(sys.argv[1],"rb").read(); sys.stdout.buffer.write(len(b).to_bytes(2,"little")+b+bytes([0x40,1,2,3,4,0x30,5,6,7,3,0x20,8,9,5,0x50,1,1,1,1,1,7]))' \
          "$ntx" > "$corpus/seed-$(basename "$ntx")"
      done ;;
    fuzz_importrun)
      printf '\xffAda,Lovelace,1 Analytical Way\r\nCharles,Babbage,2 Engine Row\r\n,x\r\n' > "$corpus/seed-run"
      printf '\xe1\x37\xe2\x39\xffa,b,c,d,e,f,g,h,i,j,k,l,m,n\r\n' > "$corpus/seed-layout" ;;
    fuzz_datafolder)
      # No damage, then every step; a damaged index; a table cut short.
      printf '\x03\x00\x02\x04\x03ABC\x09\x05\x04Zeta\x06\x01\x09\x08\x01\x07\x09' > "$corpus/seed-steps"
      printf '\x01\x00\x04\x04\xff\xff\xff\xff\x03\x00\x02\x03\x02LE\x04\x02QQ\x09\x08\x09' > "$corpus/seed-index"
      printf '\x00\x40\x02\x00\x03\x00\x01\x02\x08\x09' > "$corpus/seed-short" ;;
  esac
  echo "==> $t for ${secs}s"
  if ! "build-fuzz/fuzz/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$artifacts/" "$corpus"; then
    echo "fuzz/run.sh: $t found a crash; see $artifacts/" >&2
    rc=1
  fi
done
exit $rc
