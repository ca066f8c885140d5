#!/usr/bin/env bash
# One 256 MiB fetch from the local game server into a file: the transfer layer against the
# curl command-line program on the same loopback address, five runs each, interleaved; prints
# the throughput ratio of the medians (above 1 = the transfer layer is faster).
#   bash scripts/bench-net.sh [--no-setup]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if [ "${1:-}" = "--no-setup" ]; then shift; else bash scripts/setup.sh; fi
build=build/bench-net
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLUX_BENCH=ON -DVOLUX_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target engine_bench
csv="$(mktemp)"
trap 'rm -f "$csv"' EXIT
python3 tools/gameserver/game_server.py --run -- "$build/bench/engine_bench" --benchmark_filter='^WebFetch_' \
  --benchmark_enable_random_interleaving=true --benchmark_format=csv "$@" 2>/dev/null | tee "$csv"
echo
# Columns: name, iterations, real_time, cpu_time, ...; the medians count.
awk -F, '
  /"WebFetch_Engine.*_median"/ { e = $3 }
  /"WebFetch_Reference.*_median"/ { r = $3 }
  END {
    if (e == "" || r == "" || e <= 0) { print "WebFetch: no result"; exit 1 }
    printf "WebFetch 256 MiB to a file: transfer layer %.0f ms, curl %.0f ms, throughput ratio %.3f (needs >= 0.9)\n", e, r, r / e
  }' "$csv"
