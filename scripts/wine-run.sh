#!/usr/bin/env bash
# Runs a Windows program under wine64, quietly and with a prefix of the build's own.
# WINEPREFIX may be set by the caller; otherwise it lives beside the program's build folder.
set -u
if [ -z "${WINEPREFIX:-}" ]; then
  dir="$(cd "$(dirname "$1")" && pwd)"
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
  [ "$dir" = "/" ] && dir="$(cd "$(dirname "$1")" && pwd)"
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=-all
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
fi
# The virtual display has no window manager: Wine draws window frames itself, as Windows
# does, so custom captions and borders are seen and measured as on Windows, and it does not
# wait for a manager to acknowledge hidden windows (two seconds per window otherwise).
if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
fi
exec /usr/lib/wine/wine64 "$@"
