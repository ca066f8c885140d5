#!/usr/bin/env bash
# Builds the launcher and runs it under wine64 on a virtual X display: first with its game frame
# (mode 1: screenshots of the frame, of a button in its hover and down looks, and with its page
# attached), then with its main window (mode 0: the chat window under its button, the boss key
# hiding everything and the tray icon bringing it back), then the loader (mode 2). Screenshots,
# window lists and the launcher's logs go to out/.
# Usage: scripts/demo.sh [--win32] [--mode N]
#   --win32   also builds the i686 program (built only, not run)
#   --mode N  runs only mode N (/mode=N, which the sample launcher.lua takes as the game mode:
#             0 web page, 1 frame pages, 2 loader plug-in), saving out/modeN.png and its logs
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/out"
mkdir -p "$out"
with_win32=0
only_mode=""
while [ $# -gt 0 ]; do
  case "$1" in
    --win32) with_win32=1 ;;
    --mode) shift; [[ "${1:-}" =~ ^[0-2]$ ]] || { echo "usage: $0 [--win32] [--mode 0|1|2]" >&2; exit 2; }
            only_mode="$1" ;;
    *) echo "usage: $0 [--win32] [--mode 0|1|2]" >&2; exit 2 ;;
  esac
  shift
done

bash "$root/scripts/setup.sh"

# The local game server, started first: the program is built with it as the statistics
# endpoint and the revocation list's home (the deployment values), and mode 2 fetches the
# sample plug-in from it and sends it the report points.
serve="$(mktemp -d)"
server_pid=""
stop_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -f "$serve/server.log" ] && cp "$serve/server.log" "$out/game-server.log"
  rm -rf "$serve"
}
trap stop_server EXIT
python3 "$root/tools/gameserver/game_server.py" --root "$serve" --log "$serve/server.log" \
  --port-file "$serve/port" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 50); do [ -s "$serve/port" ] && break; sleep 0.1; done
port="$(head -n 1 "$serve/port")"
[ -n "$port" ] || { echo "[demo] the game server did not start" >&2; exit 1; }
echo "[demo] game server on 127.0.0.1:$port"

build() {  # folder toolchain
  cmake -S "$root" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" \
    -DVOLUX_STATISTICS_ENDPOINT="http://127.0.0.1:$port/" -DVOLUX_REVOCATION_ADDRESS="http://127.0.0.1:$port/dev/bl" >/dev/null
  cmake --build "$1" --target microclient sample_plugin page_event
}

echo "[demo] building win64"
build "$root/build/win64" mingw-x86_64.cmake
if [ "$with_win32" = 1 ]; then
  echo "[demo] building win32"
  build "$root/build/win32" mingw-i686.cmake
fi
exe="$root/build/win64/launcher/microclient.exe"
# Wine has no HTML engine, so no page finishes loading by itself; this raises the event the
# browser control would raise when a document completes.
page_event="$root/build/win64/tools/pageevent/page_event.exe"

# A prefix of the demo's own: the mc.cfg written below must not switch on logging for the tests,
# which use the build's prefix.
export WINEPREFIX="$root/build/win64/demo-wineprefix"
wineserver=/usr/lib/wine/wineserver

display=""
for n in $(seq 90 250); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "[demo] no free X display number" >&2; exit 1; }

xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap 'stop_server; cleanup' EXIT

Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
export DISPLAY=":$display"
echo "[demo] virtual display $DISPLAY"

# The first run makes the prefix, which is what creates the user's profile folder.
"$root/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
profile=""
for d in "$WINEPREFIX"/drive_c/users/*/; do
  name="$(basename "$d")"
  [ "$name" = Public ] || profile="${d%/}"
done
[ -n "$profile" ] || { echo "[demo] no user profile in $WINEPREFIX" >&2; exit 1; }

# "mclog" in <profile>\volux\mc.cfg makes the launcher write its log files into that folder.
data="$profile/volux"
mkdir -p "$data"
printf 'mclog\r\n' > "$data/mc.cfg"

trace_log() { find "$data" -maxdepth 1 -name '*-\[Trace\].log' | head -n 1; }

# Where the sample game frame's "Play" button is, in screen coordinates (frame at 0, 0).
play_x=400
play_y=516
# The main window (1024 x 700, centred under the tray window Wine shows at the top left): its
# title bar's Chat and tray buttons, and the launcher's icon in Wine's tray window.
chat_x=822
chat_y=50
boss_x=907
boss_y=50
tray_x=12
tray_y=28

# Runs the launcher in one mode until its first turn shows a window, takes the screenshots the
# mode asks for, then closes it the way a user would and keeps its logs as <name>-*.log.
run_mode() {  # mode name [more arguments for the program]
  local mode="$1" name="$2"
  shift 2
  find "$data" -maxdepth 1 -name '*.log' -delete
  "$root/scripts/wine-run.sh" "$exe" "/mode=$mode" "$@" >"$out/$name-wine-output.txt" 2>&1 &
  app_pid=$!
  # The main loop's first turn logs what it shows: the game frame (mode 1) or the main window.
  local up=0
  for _ in $(seq 1 180); do
    local log
    log="$(trace_log)"
    if [ -n "$log" ] && iconv -f UTF-16 -t UTF-8 "$log" 2>/dev/null | grep -q '\[MC\] Show '; then up=1; break; fi
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.5
  done
  if [ "$up" != 1 ]; then
    echo "[demo] mode $mode showed no window; wine output in $out/$name-wine-output.txt" >&2
    exit 1
  fi
  sleep 1  # let it paint
  xwininfo -root -tree > "$out/$name-windows.txt" 2>&1 || true
  import -window root "$out/$name.png"
  echo "[demo] mode $mode is up; screenshot: $out/$name.png"
  if [ "$mode" = 1 ]; then
    # The same frame with the cursor over its Play button, then with the button held down.
    xdotool mousemove "$play_x" "$play_y"
    sleep 1
    import -window root "$out/$name-hover.png"
    xdotool mousedown 1
    sleep 1
    import -window root "$out/$name-down.png"
    xdotool mousemove 1000 740 mouseup 1
    echo "[demo] button looks: $out/$name-hover.png, $out/$name-down.png"
  fi
  if [ "$mode" = 0 ]; then
    # The chat button opens the chat window, which stays hidden until its page has loaded;
    # page_event stands in for the browser engine's "document complete", which also shows the
    # (unrendered) game page. A second click shows the chat window under its button.
    xdotool mousemove "$chat_x" "$chat_y" click 1
    sleep 1
    "$root/scripts/wine-run.sh" "$page_event" document-complete >>"$out/$name-wine-output.txt" 2>&1 || true
    xdotool mousemove "$chat_x" "$chat_y" click 1
    sleep 1
    import -window root "$out/$name-chat.png"
    echo "[demo] chat window: $out/$name-chat.png"
    # The title bar's tray button is the boss key: everything hides, the tray icon stays.
    xdotool mousemove "$boss_x" "$boss_y" click 1
    sleep 1
    import -window root "$out/$name-boss-hidden.png"
    xwininfo -root -tree > "$out/$name-boss-hidden-windows.txt" 2>&1 || true
    # A click on the tray icon brings back what was visible before.
    xdotool mousemove "$tray_x" "$tray_y" click 1
    sleep 1
    import -window root "$out/$name-boss-restored.png"
    echo "[demo] boss key: $out/$name-boss-hidden.png, $out/$name-boss-restored.png"
  fi
  if [ "$mode" = 1 ]; then
    # The frame page is attached to the game frame; it shows once the control has reached its
    # address and the document has completed.
    "$root/scripts/wine-run.sh" "$page_event" navigate-complete document-complete \
      >>"$out/$name-wine-output.txt" 2>&1 || true
    sleep 1
    import -window root "$out/$name-page.png"
    # The page is a window of its own over the frame; without an HTML engine it paints nothing,
    # so the window list shows where it is.
    xwininfo -root -tree > "$out/$name-page-windows.txt" 2>&1 || true
    echo "[demo] game frame with its page: $out/$name-page.png, $out/$name-page-windows.txt"
  fi
  if [ "$mode" = 2 ]; then
    # The loading screen shows while the server sends the library slowly; then the plug-in's
    # first frames.
    import -window root "$out/$name-loading.png"
    echo "[demo] loading screen: $out/$name-loading.png"
    local wanted='Loader renders its first frame' shot=game
    case "$name" in *revoked) wanted='is revoked'; shot=message ;; esac
    for _ in $(seq 1 60); do
      iconv -f UTF-16 -t UTF-8 "$(trace_log)" 2>/dev/null | grep -q "$wanted" && break
      sleep 0.5
    done
    sleep 1
    import -window root "$out/$name-$shot.png"
    echo "[demo] $shot: $out/$name-$shot.png"
  fi

  # Without /f, taskkill sends WM_CLOSE, so the launcher shuts down in order and closes its logs.
  "$root/scripts/wine-run.sh" taskkill /im microclient.exe >/dev/null 2>&1 || true
  for _ in $(seq 1 40); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.25
  done
  if kill -0 "$app_pid" 2>/dev/null; then
    echo "[demo] the program did not end after WM_CLOSE; stopping wine" >&2
    "$wineserver" -k 2>/dev/null || true
  fi
  wait "$app_pid" 2>/dev/null || true
  app_pid=""

  # Log files are UTF-16LE with a byte-order mark and CRLF line ends.
  local found=0 kind log target
  for kind in Trace Error; do
    log="$(find "$data" -maxdepth 1 -name "*-\[$kind\].log" | head -n 1)"
    [ -n "$log" ] || continue
    target="$out/$name-$(echo "$kind" | tr 'A-Z' 'a-z').log"
    iconv -f UTF-16 -t UTF-8 "$log" | sed 's/\r$//' > "$target"
    echo "[demo] $kind log: $target"
    found=1
  done
  if [ "$found" = 0 ]; then
    echo "[demo] no log files in $data" >&2
    exit 1
  fi
  echo "[demo] ---- $name trace log ----"
  grep '\[MC\]' "$out/$name-trace.log" || true
}

loader_args=()
loader_setup() {
  cp "$root/build/win64/loader/sample/sample_plugin.dll" "$serve/volux3d.lod"
  local digest
  digest="$(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import checksum_text; print(checksum_text.checksum_text(open(sys.argv[2], "rb").read()))' "$root/loader" "$serve/volux3d.lod")"
  # A library left from an earlier run would be used as it is: the demo downloads it.
  find "$WINEPREFIX/drive_c" -name volux3d.lod -delete 2>/dev/null || true
  loader_args=("/param=liburl=http://127.0.0.1:$port/slow=60000/files/volux3d.lod" "/param=libmd5=$digest"
               "/param=tickurl=http://127.0.0.1:$port/report?game=demo")
}
# Puts the sample plug-in's digest on the revocation list the server hands out.
revoke_sample() {
  python3 - "$serve/volux3d.lod" "$serve/bl" <<'PY'
import hashlib, struct, sys
message = "This build of the game is no longer allowed. Please update the game."
with open(sys.argv[2], "wb") as f:
    f.write(hashlib.md5(open(sys.argv[1], "rb").read()).digest())
    f.write(struct.pack("<I", len(message)) + message.encode("utf-16-le"))
PY
}

rm -f "$out"/*.png "$out"/*.log "$out"/*.txt
if [ -n "$only_mode" ]; then
  if [ "$only_mode" = 2 ]; then
    loader_setup
    run_mode 2 mode2 "${loader_args[@]}"
  else
    run_mode "$only_mode" "mode$only_mode"
  fi
else
  run_mode 1 frame-window   # the game frame: layered art, buttons, label, progress bar
  run_mode 0 main-window    # the main window: custom title bar, menu rows, system buttons, logo
  loader_setup
  run_mode 2 loader-game "${loader_args[@]}"  # loading screen, then the sample plug-in
  # Again with the library present and its digest on the revocation list: the plug-in is
  # stopped and the loading screen shows the list's message.
  revoke_sample
  run_mode 2 loader-revoked "${loader_args[@]}"
fi
