#!/usr/bin/env bash
# Long crash run: kills the table worker KILLS times (default 500) and checks nothing reported
# stored is lost. Builds merrowby-crashtest into build-harden/ unless BUILD_DIR says otherwise.
#
#   tests/crash/run_crash.sh [KILLS] [SEED]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
build_dir=${BUILD_DIR:-build-harden}
kills=${1:-500}
seed=${2:-$RANDOM}
[[ -f $build_dir/CMakeCache.txt ]] || cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --target merrowby-crashtest -j2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "seed $seed"
"$build_dir/tools/merrowby-crashtest" run "$work/data" "$kills" "$seed"
