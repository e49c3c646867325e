#!/usr/bin/env bash
# The main job: installs what is missing, builds everything in release mode and
# starts what runs. Until the viewer exists that is the local deployment of the
# service, which runs in the foreground until Ctrl+C; point the programs at it with
# the ORVANE_DEPLOYMENT line it prints.
#   ORVANE_BUILD   build folder (default: build)
#   extra arguments go to the sandbox (see: node sandbox/bin/sandbox.js --help)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_BUILD:-$root/build}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=OFF
cmake --build "$build" -j2

exec node "$root/sandbox/bin/sandbox.js" "$@"
