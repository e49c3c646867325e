#!/usr/bin/env bash
# The recordings browser paging through a space of 2,000 more recordings (see
# gui-bench.sh for what it sets up).
#   BENCH_RECORDINGS (default 2000)
exec "$(dirname "${BASH_SOURCE[0]}")/gui-bench.sh" orvane-bench-recordings
