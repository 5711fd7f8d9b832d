#!/usr/bin/env bash
# Builds Merrowby and runs its whole test suite.
#
#   ./test.sh              build into build/ and run every test
#   ./test.sh --sanitize   the same with AddressSanitizer and UBSan, in build-asan/
#
# Missing Debian packages are installed first and a PDF printer queue is set up for the
# printing tests (a failure there only warns; those tests then skip). Exits non-zero when
# the build or any test fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERROWBY_SANITIZE=OFF)
for arg in "$@"; do
  case $arg in
    --sanitize)
      build_dir=build-asan
      cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERROWBY_SANITIZE=ON)
      ;;
    -h|--help)
      sed -n '2,9s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *)
      echo "test.sh: unknown option $arg (try --help)" >&2
      exit 2
      ;;
  esac
done

step() { printf '\n==> %s\n' "$*"; }

step "Checking build dependencies"
scripts/install-deps.sh

step "Setting up the PDF printer"
if ! scripts/setup-cups.sh; then
  echo "test.sh: warning: no CUPS PDF printer; the printing tests will skip" >&2
fi

# A build directory configured earlier with another generator cannot be reused by Ninja.
if [[ -f $build_dir/CMakeCache.txt ]] &&
   ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$build_dir/CMakeCache.txt"; then
  echo "test.sh: $build_dir/ was configured with another generator; reconfiguring"
  rm -rf "$build_dir/CMakeCache.txt" "$build_dir/CMakeFiles"
fi

step "Configuring $build_dir/"
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"

step "Building"
export QT_QPA_PLATFORM=offscreen
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
  # Qt wants a private runtime directory and warns without one, also in the test
  # discovery that runs during the build.
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
# Keep going past a broken target so that everything else is built and tested; the
# tests of a target that did not build are reported by ctest as NOT_BUILT.
build_rc=0
cmake --build "$build_dir" -j2 -- -k 0 || build_rc=$?

step "Running the tests"
if [[ $build_dir == build-asan ]]; then
  # Leak reports are left off: Qt's font and platform caches live until exit and
  # would drown real findings. Memory errors and undefined behaviour still fail a test.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:strict_string_checks=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
log="$build_dir/ctest-last.log"
set +e
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j2 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
set -e

step "Summary"
# ctest's own summary: the pass rate line, the failures and the total time.
sed -n '/tests passed\|tests failed/,$p' "$log"
if ((build_rc != 0)); then
  echo "test.sh: FAILED: the build failed (see the errors above the test run)"
  exit 1
fi
if ((rc != 0)); then
  echo "test.sh: FAILED (ctest exit status $rc)"
  exit "$rc"
fi
echo "test.sh: all tests passed"
