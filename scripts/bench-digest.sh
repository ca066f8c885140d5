#!/usr/bin/env bash
# Times the engine's file digest (packblock md5) against md5sum on one 256 MiB file, best of
# three runs each, and prints the throughput ratio (above 1 = engine faster).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build=build/bench-digest
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLUX_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target packblock >/dev/null
tool="$build/tools/packblock/packblock"

file="$(mktemp /tmp/volux-digest.XXXXXX)"
trap 'rm -f "$file"' EXIT
size_mib=256
head -c $((size_mib << 20)) /dev/urandom >"$file"

# Best wall time of three runs, in seconds; the file stays in the page cache after the first.
best_of_three() {
    local best=""
    for _ in 1 2 3; do
        local start end elapsed
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        elapsed=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$elapsed < $best" | bc -l)" = 1 ]; then best=$elapsed; fi
    done
    echo "$best"
}

cat "$file" >/dev/null
engine_hex=$("$tool" md5 "$file" | awk '{print $2}')
reference_hex=$(md5sum "$file" | awk '{print $1}')
if [ "$engine_hex" != "$reference_hex" ]; then
    echo "digest mismatch: packblock $engine_hex, md5sum $reference_hex" >&2
    exit 1
fi
engine=$(best_of_three "$tool" md5 "$file")
reference=$(best_of_three md5sum "$file")
printf "packblock md5  %8.3f s  %8.1f MiB/s\n" "$engine" "$(echo "$size_mib / $engine" | bc -l)"
printf "md5sum         %8.3f s  %8.1f MiB/s\n" "$reference" "$(echo "$size_mib / $reference" | bc -l)"
printf "throughput ratio (engine / md5sum): %.3f\n" "$(echo "$reference / $engine" | bc -l)"
