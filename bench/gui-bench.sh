#!/usr/bin/env bash
# Runs one of the GUI-thread benchmark programs from a fresh machine: installs what
# is missing, builds a release build with the program, starts a local deployment
# and runs the program under a virtual display. Its JSON lines are the figures.
#   gui-bench.sh TARGET   (orvane-bench-chat, orvane-bench-recordings)
set -euo pipefail
target=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_BENCH_BUILD:-$root/build-bench}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=ON
cmake --build "$build" -j2 --target "$target"

run_dir=$build/sandbox-run
"$root/sandbox/scripts/fixture.sh" start "$run_dir" "$build/sandbox-state" > /dev/null
trap '"$root/sandbox/scripts/fixture.sh" stop "$run_dir"' EXIT
export ORVANE_DEPLOYMENT=$run_dir/deployment.json
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
# The programs' settings of this run stay out of the user's own.
export XDG_CONFIG_HOME=$(mktemp -d)

xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench/$target"
