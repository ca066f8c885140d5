#!/usr/bin/env bash
# Builds the native benchmarks and prints each engine/reference pair's time ratio from one run
# (below 1.0 means the engine is faster).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
[ "${1:-}" = "--no-setup" ] || bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLUX_BENCH=ON -DVOLUX_TESTS=OFF >/dev/null
cmake --build build/bench -j 2 --target engine_bench
csv="$(mktemp)"
trap 'rm -f "$csv"' EXIT
build/bench/bench/engine_bench --benchmark_format=csv --benchmark_min_time=0.3 2>/dev/null | tee "$csv"
echo
echo "ratios (engine time / reference time):"
awk -F, 'NR > 1 { gsub(/"/, "", $1); t[$1] = $4 }
  END {
    n = split("LogLine Integers Texts Floats", pairs, " ")
    for (i = 1; i <= n; i++) {
      e = t["Engine" pairs[i]]; l = t["Libc" pairs[i]]
      if (e != "" && l != "") printf "  Format vs swprintf, %-9s %.3f\n", pairs[i] ":", e / l
    }
    printf "  name hashes (ns each): HashA %.1f, Hash31 %.1f, HashLanes %.1f\n", t["HashAName"], t["Hash31Name"], t["HashLanesName"]
  }' "$csv"
