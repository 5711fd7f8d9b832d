#!/usr/bin/env bash
# Long crash runs: kills the table worker KILLS times (default 500), then the worker over the
# program's data set (edits, imports, backups, restores) as often, and checks nothing reported
# stored is lost; then fills the disk part-way through as many imports, backups and packs
# ("full"). Builds merrowby-crashtest into build-harden/ unless BUILD_DIR says otherwise.
#
#   tests/crash/run_crash.sh [KILLS] [SEED] [MODES]   MODES: "table program full" (default), or
#                                                      some of them; "full-tmpfs" (as root) runs
#                                                      the full-disk case on a real 2 MB tmpfs
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
build_dir=${BUILD_DIR:-build-harden}
kills=${1:-500}
seed=${2:-$RANDOM}
modes=${3:-table program full}
[[ -f $build_dir/CMakeCache.txt ]] || cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --target merrowby-crashtest -j2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "seed $seed"
rc=0
for mode in $modes; do
  case $mode in
    table) "$build_dir/tools/merrowby-crashtest" run "$work/table" "$kills" "$seed" || rc=1 ;;
    program) "$build_dir/tools/merrowby-crashtest" run-program "$work/program" "$kills" "$seed" || rc=1 ;;
    full) "$build_dir/tools/merrowby-crashtest" run-full "$work/full" "$kills" "$seed" || rc=1 ;;
    full-tmpfs)
      mkdir -p "$work/tmpfs"
      mount -t tmpfs -o size=2m tmpfs "$work/tmpfs"
      "$build_dir/tools/merrowby-crashtest" run-full "$work/tmpfs" "$kills" "$seed" --real || rc=1
      umount "$work/tmpfs" ;;
    *) echo "run_crash.sh: unknown mode $mode" >&2; exit 2 ;;
  esac
done
exit $rc
