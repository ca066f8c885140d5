#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz/*Fuzz.cpp) with clang and the sanitizers, then
#   --quick                   runs every target for a short fixed time; fails on any finding
#   --minutes N [target...]   runs the named targets (default: all) N minutes each and prints
#                             executions, exec/s, coverage (edges, features) and findings
#                             per target
# Seeds come from tests/fuzz/corpus/<target>/ and are copied to a scratch folder first, so
# the committed corpus never changes. Findings are kept in <build>/findings/<target>/.
# Options: --no-setup skips scripts/setup.sh; FUZZ_BUILD_DIR overrides build/fuzz.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

setup=1
mode=""
minutes=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-setup) setup=0 ;;
    --quick) mode=quick ;;
    --minutes)
      mode=minutes
      minutes="${2:-}"
      shift
      [[ "$minutes" =~ ^[0-9]+$ ]] && [ "$minutes" -gt 0 ] || { echo "fuzz: --minutes needs a positive whole number" >&2; exit 2; }
      ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
if [ -z "$mode" ]; then
  echo "usage: scripts/fuzz.sh [--no-setup] --quick | --minutes N [target...]" >&2
  exit 2
fi

[ "$setup" = 1 ] && bash scripts/setup.sh

all=()
for f in tests/fuzz/*Fuzz.cpp; do
  [ -f "$f" ] && all+=("$(basename "$f" .cpp)")
done
if [ "${#all[@]}" -eq 0 ]; then
  echo "fuzz: no targets in tests/fuzz" >&2
  exit 1
fi
if [ "$mode" = quick ] || [ "${#targets[@]}" -eq 0 ]; then
  targets=("${all[@]}")
fi
for t in "${targets[@]}"; do
  [ -f "tests/fuzz/$t.cpp" ] || { echo "fuzz: no target $t (have: ${all[*]})" >&2; exit 2; }
done

build="${FUZZ_BUILD_DIR:-build/fuzz}"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOLUX_FUZZ=ON -DVOLUX_TESTS=OFF -DVOLUX_SANITIZE=ON >/dev/null
cmake --build "$build" -j 2 --target "${targets[@]}"

if [ "$mode" = quick ]; then seconds=20; else seconds=$((minutes * 60)); fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

failed=0
report=()
for t in "${targets[@]}"; do
  corpus="$scratch/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  if [ -d "tests/fuzz/corpus/$t" ]; then
    cp -R "tests/fuzz/corpus/$t/." "$corpus/"
  fi
  before="$(find "$findings" -type f | wc -l)"
  log="$scratch/$t.log"
  echo "== $t: ${seconds}s"
  status=0
  "$build/tests/fuzz/$t" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?
  after="$(find "$findings" -type f | wc -l)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  # The last status line carries the edges (cov) and features (ft) reached.
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | sed 's/cov: //')"
  ft="$(grep -o 'ft: [0-9]*' "$log" | tail -1 | sed 's/ft: //')"
  found=$((after - before))
  if [ "$status" -ne 0 ] || [ "$found" -gt 0 ]; then
    failed=1
    tail -n 60 "$log"
    echo "== $t: FAILED (exit $status, new findings in $findings)"
  fi
  report+=("$(printf '%-24s %12s %10s %8s %8s %9s' "$t" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$found")")
done

echo
printf '%-24s %12s %10s %8s %8s %9s\n' target executions exec/s cov ft findings
for line in "${report[@]}"; do echo "$line"; done
exit "$failed"
