#!/usr/bin/env bash
# The main job: installs what is missing, builds everything in release mode and
# starts what runs: the local deployment of the service and, when there is a
# display, the viewer pointed at it (the deployment stops when the viewer closes).
# Without a display the deployment runs in the foreground until Ctrl+C; point the
# programs at it with the ORVANE_DEPLOYMENT line it prints.
#   ORVANE_BUILD   build folder (default: build)
#   extra arguments go to the sandbox (see: node sandbox/bin/sandbox.js --help)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_BUILD:-$root/build}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=OFF
cmake --build "$build" -j2

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec node "$root/sandbox/bin/sandbox.js" "$@"
fi

state=$root/sandbox/.state
deployment=$state/deployment.json
rm -f "$deployment"
node "$root/sandbox/bin/sandbox.js" --state-dir "$state" --deployment-file "$deployment" "$@" &
sandbox=$!
trap 'kill -TERM "$sandbox" 2>/dev/null; wait "$sandbox" 2>/dev/null || true' EXIT
# The first start makes certificates and media (a minute or two).
until [ -f "$deployment" ]; do
  kill -0 "$sandbox" 2>/dev/null || { echo "the local deployment did not start" >&2; exit 1; }
  sleep 0.5
done
ORVANE_DEPLOYMENT=$deployment "$build/QtOrvaneTV/QtOrvaneTV"
