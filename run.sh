#!/usr/bin/env bash
# Builds Merrowby and starts it on a demo address book.
#
#   ./run.sh        build into build/, make demo/ when there is none, start the program
#
# demo/ is a data directory made by "merrowby-admin init" and filled with 200 made-up
# contacts (scripts/gen_demo_book.py). Delete it to start again from scratch.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

build_dir=build
demo_dir=demo
admin=$build_dir/tools/merrowby-admin
program=$build_dir/src/merrowby

case ${1:-} in
  -h|--help) sed -n '2,9s/^# \{0,1\}//p' "$0"; exit 0 ;;
esac

step() { printf '\n==> %s\n' "$*"; }

step "Checking build dependencies"
scripts/install-deps.sh

if [[ -f $build_dir/CMakeCache.txt ]] &&
   ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$build_dir/CMakeCache.txt"; then
  rm -rf "$build_dir/CMakeCache.txt" "$build_dir/CMakeFiles"
fi

step "Building"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERROWBY_SANITIZE=OFF
cmake --build "$build_dir" -j2 --target merrowby-admin merrowby

if [[ ! -d $demo_dir ]]; then
  step "Making the demo data directory $demo_dir/"
  # Built under another name and moved into place when whole, so that a failed attempt
  # is tried again next time instead of leaving a half-made demo/.
  work_dir=$demo_dir.new
  csv=$(mktemp --suffix=.csv)
  trap 'rm -rf "$csv" "$work_dir"' EXIT
  rm -rf "$work_dir"
  "$admin" init "$work_dir"
  python3 scripts/gen_demo_book.py 200 --seed 1 >"$csv"
  "$admin" import "$work_dir" "$csv" >/dev/null
  # The import brings addresses only; give the people holidays and personal dates so
  # that label and reminder runs have something to show.
  python3 scripts/gen_demo_book.py --occasions "$work_dir/AddrBook.dbf" --seed 1
  "$admin" check "$work_dir" >/dev/null
  mv "$work_dir" "$demo_dir"
  rm -f "$csv"
  trap - EXIT
fi
# The Help menu opens mby.htm from the data directory; its pictures are in guide/ beside it.
if [[ ! -e $demo_dir/mby.htm && -f docs/mby.htm ]]; then
  cp docs/mby.htm "$demo_dir/mby.htm"
fi
if [[ -d docs/guide ]]; then
  mkdir -p "$demo_dir/guide"
  cp -n docs/guide/*.png "$demo_dir/guide/"
fi

step "Starting Merrowby in $demo_dir/"
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
  echo "run.sh: warning: no display found (DISPLAY is not set); try: xvfb-run ./run.sh" >&2
fi
cd "$demo_dir"
exec "../$program" "$@"
