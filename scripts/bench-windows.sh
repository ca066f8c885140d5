#!/usr/bin/env bash
# Windows benchmarks under wine64 on a virtual display, printed as ratios from one run:
#  - first paint: process start to the launcher's first frame window painted on screen (its
#    log line; the sample scripts' progress frame), against a minimal Win32 program that
#    registers a class and paints one window; the median of N starts of each (N = $1, default
#    7); and the same to the game frame on screen, after the start-up steps;
#  - the time of one layered recomposition of an 800 x 600 frame with ten buttons, and of one
#    hover change in recompositions.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-7}"
cd "$root"
bash scripts/setup.sh
build="$root/build/win64"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" -j 2 --target microclient first_paint_reference frame_compose_bench >/dev/null

export WINEPREFIX="$build/bench-wineprefix"
display=""
for n in $(seq 90 250); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "[bench] no free X display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
wine="$root/scripts/wine-run.sh"
"$wine" cmd /c exit >/dev/null 2>&1 || true
profile=""
for d in "$WINEPREFIX"/drive_c/users/*/; do [ "$(basename "$d")" = Public ] || profile="${d%/}"; done
data="$profile/volux"
mkdir -p "$data"
printf 'mclog\r\n' > "$data/mc.cfg"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

launcher_times=()
game_times=()
reference_times=()
for i in $(seq 1 "$runs"); do
  # The reference prints its own first paint and quits.
  t="$("$wine" "$build/bench/windows/first_paint_reference.exe" 2>/dev/null | sed -n 's/^first paint \([0-9]*\) ms.*/\1/p')"
  [ -n "$t" ] && reference_times+=("$t")

  find "$data" -maxdepth 1 -name '*.log' -delete
  "$wine" "$build/launcher/microclient.exe" /mode=1 >/dev/null 2>&1 &
  pid=$!
  t=""
  g=""
  for _ in $(seq 1 120); do
    log="$(find "$data" -maxdepth 1 -name '*-\[Trace\].log' | head -n 1)"
    if [ -n "$log" ]; then
      text="$(iconv -f UTF-16 -t UTF-8 "$log" 2>/dev/null || true)"
      t="$(sed -n 's/.*\[MC\] First paint \([0-9]*\) ms.*/\1/p' <<<"$text" | head -n 1)"
      g="$(sed -n 's/.*\[MC\] Game window shown \([0-9]*\) ms.*/\1/p' <<<"$text" | head -n 1)"
      [ -n "$g" ] && break
    fi
    sleep 0.25
  done
  "$wine" taskkill /im microclient.exe >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  [ -n "$t" ] && launcher_times+=("$t")
  [ -n "$g" ] && game_times+=("$g")
done
[ "${#launcher_times[@]}" -gt 0 ] && [ "${#game_times[@]}" -gt 0 ] && [ "${#reference_times[@]}" -gt 0 ] || { echo "[bench] no first-paint times" >&2; exit 1; }
l="$(printf '%s\n' "${launcher_times[@]}" | median)"
g="$(printf '%s\n' "${game_times[@]}" | median)"
r="$(printf '%s\n' "${reference_times[@]}" | median)"
echo "[bench] first paint, launcher ms:  ${launcher_times[*]} (median $l)"
echo "[bench] first paint, reference ms: ${reference_times[*]} (median $r)"
echo "[bench] game frame shown, launcher ms: ${game_times[*]} (median $g)"
awk -v l="$l" -v r="$r" 'BEGIN { printf "[bench] first paint ratio launcher/reference: %.2f\n", (r > 0 ? l / r : 0) }'
awk -v g="$g" -v r="$r" 'BEGIN { printf "[bench] game frame shown ratio launcher/reference: %.2f\n", (r > 0 ? g / r : 0) }'
"$wine" "$build/bench/windows/frame_compose_bench.exe" 2>/dev/null | sed 's/^/[bench] /'
