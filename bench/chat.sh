#!/usr/bin/env bash
# The chat window under a busy channel (see gui-bench.sh for what it sets up).
#   BENCH_MESSAGES (default 5000), BENCH_RATE per second (default 50)
exec "$(dirname "${BASH_SOURCE[0]}")/gui-bench.sh" orvane-bench-chat
