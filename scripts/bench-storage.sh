#!/usr/bin/env bash
# Builds and runs the storage benchmark: 100,000 incompressible resources of 8-12 KB (about
# 1 GB; --quick: 10,000) read in random order from the hash archive, from separate files and
# through SQLite's blob API, 10,000 same-size replaces against SQLite (WAL, synchronous=NORMAL),
# and a lookup miss with five archives mounted against one. Prints the ratios from one run.
# The data is made in build/bench-storage and removed afterwards.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if [ "${1:-}" = "--no-setup" ]; then shift; else bash scripts/setup.sh; fi
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLUX_BENCH=ON -DVOLUX_TESTS=OFF >/dev/null
cmake --build build/bench -j 2 --target storage_bench
build/bench/bench/storage/storage_bench --folder build/bench-storage "$@"
