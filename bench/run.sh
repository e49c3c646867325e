#!/usr/bin/env bash
# The multiview benchmark, from a fresh machine: installs what is missing (and
# mpv, the peer player, for the benchmark only), builds a release build with the
# benchmark program, starts a local deployment and measures under a virtual
# display. The JSON lines at the end are the figures.
#   BENCH_SECONDS (default 20), BENCH_WARMUP (default 5)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_BENCH_BUILD:-$root/build-bench}

"$root/scripts/install-deps.sh"
for tool in mpv python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$tool"
  fi
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=ON
cmake --build "$build" -j2 --target orvane-bench-multiview

run_dir=$build/sandbox-run
"$root/sandbox/scripts/fixture.sh" start "$run_dir" "$build/sandbox-state" > /dev/null
trap '"$root/sandbox/scripts/fixture.sh" stop "$run_dir"' EXIT
export ORVANE_DEPLOYMENT=$run_dir/deployment.json

xvfb-run -a -s "-screen 0 1920x1080x24" /usr/bin/env python3 "$root/bench/multiview.py" \
  --player "$build/bench/orvane-bench-multiview" --deployment "$ORVANE_DEPLOYMENT" \
  --seconds "${BENCH_SECONDS:-20}" --warmup "${BENCH_WARMUP:-5}"
