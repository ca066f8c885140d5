#!/usr/bin/env bash
# Installs everything the three builds and their tests need on a Debian machine (run as root).
# Idempotent: packages already present are skipped by apt, and the cross-built LuaJIT and
# libcurl are cached under .deps/ keyed by the source package version.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth x11-apps x11-utils imagemagick xdotool
  fonts-dejavu-core fonts-liberation fonts-wqy-microhei
  googletest libbenchmark-dev libsqlite3-dev
  zlib1g-dev libz-mingw-w64-dev lzma-dev liblzma-dev
  libluajit-5.1-dev luajit libcurl4-openssl-dev curl python3
  gcc-multilib
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# deb-src entries derived from the machine's own apt sources, so no host is named here.
src_list=/etc/apt/sources.list.d/volux-deb-src.sources
if [ ! -f "$src_list" ]; then
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    grep -q '^Types: deb$' "$f" || continue
    sed -e 's/^Types: deb$/Types: deb-src/' "$f"
    echo
  done > "$src_list"
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/volux-deb-src.list || true
  fi
  need_update=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "[setup] installing: ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$root/scripts/build-deps.sh"
