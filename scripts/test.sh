#!/usr/bin/env bash
# Builds the three configurations and runs every test: native, native with AddressSanitizer
# and UndefinedBehaviorSanitizer, win64 under wine64 on a virtual display, and the win32 build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh

summary="$(mktemp)"
trap 'rm -f "$summary"' EXIT
status=0

# Runs ctest in a build folder and keeps its closing counts for the summary line.
run_ctest() {
  local name="$1"; shift
  local log
  log="$(mktemp)"
  if "$@" 2>&1 | tee "$log"; then :; fi
  local line
  line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)"
  if [ -z "$line" ]; then
    echo "[test] $name: no test summary" >&2
    echo "$name 0 1" >> "$summary"
    status=1
  else
    local failed total
    failed="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")"
    total="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")"
    echo "$name $((total - failed)) $failed" >> "$summary"
    [ "$failed" = "0" ] || status=1
  fi
  rm -f "$log"
}

configure() {
  local dir="$1"; shift
  cmake -S "$root" -B "$root/build/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$root/build/$dir" -j 2
}

echo "[test] native"
configure native -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_ctest native ctest --test-dir build/native --output-on-failure

echo "[test] native with sanitizers"
configure native-asan -DCMAKE_BUILD_TYPE=Debug -DVOLUX_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest native-asan ctest --test-dir build/native-asan --output-on-failure

echo "[test] win64 under wine64"
configure win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
# One prefix for the whole run, made on the virtual display before the tests start so they do
# not race to create it. WINE: a prefix first started without a display keeps a desktop that
# cannot create windows, so any wineserver left from earlier is stopped first.
export WINEPREFIX="$root/build/win64/wineprefix"
/usr/lib/wine/wineserver -k 2>/dev/null || true
run_ctest win64 xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash -c 'scripts/wine-run.sh cmd /c exit >/dev/null 2>&1; ctest --test-dir build/win64 --output-on-failure'
/usr/lib/wine/wineserver -k 2>/dev/null || true
unset WINEPREFIX

echo "[test] win32 build"
configure win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
if [ -f build/win32/launcher/microclient.exe ]; then
  i686-w64-mingw32-strip -o build/win32/microclient-stripped.exe build/win32/launcher/microclient.exe
  echo "[test] win32 program, stripped: $(stat -c %s build/win32/microclient-stripped.exe) bytes"
fi

if [ -x scripts/fuzz.sh ]; then
  echo "[test] fuzz regression"
  if bash scripts/fuzz.sh --quick; then echo "fuzz 1 0" >> "$summary"; else echo "fuzz 0 1" >> "$summary"; status=1; fi
fi

passed=0; failed=0
while read -r name p f; do
  echo "[test] $name: $p passed, $f failed"
  passed=$((passed + p)); failed=$((failed + f))
done < "$summary"
echo "$passed passed, $failed failed"
exit $status
