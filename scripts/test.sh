#!/usr/bin/env bash
# Builds and runs every test suite from a fresh machine: installs what is missing,
# configures a build with AddressSanitizer and UndefinedBehaviorSanitizer, builds it
# and runs CTest under a virtual X display. Extra arguments go to ctest
# (for example: scripts/test.sh -L core).
#   ORVANE_SANITIZE=OFF   build without the sanitizers
#   ORVANE_TEST_BUILD     build folder (default: build-tests)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_TEST_BUILD:-$root/build-tests}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DORVANE_SANITIZE="${ORVANE_SANITIZE:-ON}" -DORVANE_BUILD_TESTS=ON
cmake --build "$build" -j2

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j2 "$@"
