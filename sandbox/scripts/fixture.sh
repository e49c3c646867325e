#!/usr/bin/env bash
# Starts or stops a sandbox for a test run (a CTest fixture).
#   fixture.sh start RUN_DIR [STATE_DIR]   starts it, waits for the deployment file
#   fixture.sh stop RUN_DIR                stops it with SIGTERM and checks it stopped
# RUN_DIR receives deployment.json, sandbox.log and sandbox.pid.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
action=${1:?start or stop}
run_dir=${2:?run folder}
state_dir=${3:-$run_dir/state}
mkdir -p "$run_dir"
deployment=$run_dir/deployment.json
pid_file=$run_dir/sandbox.pid

case "$action" in
  start)
    if [ -f "$pid_file" ] && kill -0 "$(cat "$pid_file")" 2>/dev/null; then
      kill -TERM "$(cat "$pid_file")" || true
      sleep 1
    fi
    rm -f "$deployment"
    # Previews every half second keep the realtime suites short.
    nohup node "$here/bin/sandbox.js" --state-dir "$state_dir" --deployment-file "$deployment" \
      --preview-interval 500 \
      > "$run_dir/sandbox.log" 2>&1 < /dev/null &
    echo $! > "$pid_file"
    # The first start generates certificates and media; later ones take a second.
    for _ in $(seq 1 600); do
      if [ -f "$deployment" ]; then
        cat "$run_dir/sandbox.log"
        exit 0
      fi
      if ! kill -0 "$(cat "$pid_file")" 2>/dev/null; then
        echo "the sandbox exited during start:" >&2
        cat "$run_dir/sandbox.log" >&2
        exit 1
      fi
      sleep 0.5
    done
    echo "the sandbox did not start in time:" >&2
    cat "$run_dir/sandbox.log" >&2
    exit 1
    ;;
  stop)
    [ -f "$pid_file" ] || exit 0
    pid=$(cat "$pid_file")
    kill -TERM "$pid" 2>/dev/null || exit 0
    for _ in $(seq 1 40); do
      kill -0 "$pid" 2>/dev/null || { rm -f "$pid_file"; exit 0; }
      sleep 0.25
    done
    echo "the sandbox did not stop on SIGTERM" >&2
    kill -KILL "$pid" || true
    exit 1
    ;;
  *)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
