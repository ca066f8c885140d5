#!/usr/bin/env bash
# Builds the native benchmarks, runs them once and prints, for every pair <Name>_Engine /
# <Name>_Reference, the engine's time relative to the reference (below 1 = engine faster) and the
# throughput ratio (above 1 = engine faster). Extra arguments go to the benchmark binary,
# e.g. --benchmark_filter=Format. On a noisy machine add --benchmark_repetitions=7
# --benchmark_enable_random_interleaving=true: the medians are compared then.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if [ "${1:-}" = "--no-setup" ]; then shift; else bash scripts/setup.sh; fi
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLUX_BENCH=ON -DVOLUX_TESTS=OFF >/dev/null
cmake --build build/bench -j 2 --target engine_bench
csv="$(mktemp)"
trap 'rm -f "$csv"' EXIT
build/bench/bench/engine_bench --benchmark_format=csv "$@" 2>/dev/null | tee "$csv"
echo
echo "pair                          engine/reference time   throughput ratio"
awk -F, 'NR > 1 {
    name = $1; gsub(/"/, "", name)
    # With --benchmark_repetitions the median row, printed after the single runs, counts.
    if (name ~ /_(mean|stddev|cv)$/) next
    sub(/\/.*/, "", name); sub(/_median$/, "", name)
    if (name ~ /_Engine$/) { base = substr(name, 1, length(name) - 7); if (!(base in e)) order[++n] = base; e[base] = $4 }
    else if (name ~ /_Reference$/) { base = substr(name, 1, length(name) - 10); r[base] = $4 }
    else other[name] = $4 " " $5
  }
  END {
    for (i = 1; i <= n; i++) { b = order[i]; if (r[b] != "" && e[b] > 0)
      printf "%-30s %8.3f                %8.3f\n", b, e[b] / r[b], r[b] / e[b] }
    for (k in other) printf "%-30s %s (cpu time)\n", k, other[k]
  }' "$csv"
