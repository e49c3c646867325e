#!/usr/bin/env bash
# The main job: installs what is missing, builds everything in release mode and
# starts what runs. Until the viewer exists, the deliverable is the cloud API
# client library; this builds it and lists what was built.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_BUILD:-$root/build}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=OFF
cmake --build "$build" -j2

echo "Built:"
find "$build" -maxdepth 2 -name 'libQtOVCoreAPIFramework.so*' -printf '  %p\n'
