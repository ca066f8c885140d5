#!/usr/bin/env bash
# Cross-builds static LuaJIT and libcurl for the two Windows targets from Debian's own
# source packages (fetched with `apt-get source`, nothing else is downloaded).
#
# Result, per triplet T in {i686-w64-mingw32, x86_64-w64-mingw32}:
#   .deps/T/include/luajit/{lua.h,lualib.h,lauxlib.h,luaconf.h,lua.hpp,luajit.h}
#   .deps/T/lib/libluajit.a
#   .deps/T/include/curl/*.h
#   .deps/T/lib/libcurl.a      static, Schannel TLS, zlib, HTTP/HTTPS only
#   .deps/T/curl-libs.txt      one line, space-separated library names (no -l) that a static
#                              libcurl needs after it on the link line; with this recipe:
#                              "bcrypt advapi32 crypt32 z ws2_32" (secur32 is not needed:
#                              curl loads the SSPI entry points from secur32.dll at run time).
#                              Consumers must define CURL_STATICLIB.  "z" is the mingw zlib in
#                              /usr/T/lib, which holds both libz.a and libz.dll.a: link with
#                              -static (or name /usr/T/lib/libz.a directly) so the import
#                              library is not picked and no zlib1.dll is required at run time.
#   .deps/T/luajit-<debian version>.stamp, .deps/T/curl-<debian version>.stamp
#
# A target/package pair is rebuilt only when its stamp for the current source version (and
# recipe revision) is missing, so a second run only asks apt for the versions and re-links
# the two small check programs.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$root/.deps"
src_root="$deps/src"
build_root="$deps/build"   # build logs stay here
triplets=(i686-w64-mingw32 x86_64-w64-mingw32)
jobs=2
# Bump when the build recipe below changes, so cached results are rebuilt.
recipe=3

log() { echo "[deps] $*"; }
die() { echo "[deps] error: $*" >&2; exit 1; }

apt_opts=(-qq)
if [ "$(id -u)" -eq 0 ]; then
  # apt-get source as root otherwise warns that it cannot drop privileges to _apt.
  apt_opts+=(-o APT::Sandbox::User=root)
fi

# Asks apt which source versions it would fetch (offline and fast); only when that fails
# (no deb-src lists yet) is `apt-get update` run, once.
updated=
declare -A version=()
find_versions() {
  local out pkg ver
  if ! out="$(cd / && apt-get source --print-uris "${apt_opts[@]}" "$@" </dev/null 2>/dev/null)" \
      || ! grep -q '\.dsc ' <<<"$out"; then
    [ -z "$updated" ] || die "apt-get source cannot find: $*"
    log "apt source lists missing; running apt-get update"
    apt-get update -qq </dev/null
    updated=1
    find_versions "$@"
    return
  fi
  while read -r pkg ver; do version[$pkg]="$ver"; done < <(awk '{ f = $2
      if (f ~ /\.dsc$/) { sub(/\.dsc$/, "", f); i = index(f, "_"); print substr(f, 1, i - 1), substr(f, i + 1) } }' <<<"$out")
  for pkg in "$@"; do
    [ -n "${version[$pkg]:-}" ] || die "no source version found for $pkg"
  done
}
find_versions luajit curl

stamp_file() { echo "$deps/$1/$2-${version[$2]}.stamp"; }
declare -A outputs=([luajit]="lib/libluajit.a include/luajit/luajit.h"
                    [curl]="lib/libcurl.a include/curl/curl.h curl-libs.txt")
stamp_ok() {
  local f
  [ -f "$(stamp_file "$1" "$2")" ] && [ "$(cat "$(stamp_file "$1" "$2")")" = "recipe=$recipe" ] \
    || return 1
  for f in ${outputs[$2]}; do [ -s "$deps/$1/$f" ] || return 1; done
}

# Unpacks the Debian source package (with Debian's patches applied) once per version and
# sets src_dir to the unpacked tree.
src_dir=
fetch_source() {
  local pkg="$1" dir="$src_root/$1_${version[$1]}"
  if [ ! -f "$dir/.unpacked" ]; then
    log "fetching Debian source $pkg ${version[$pkg]}"
    rm -rf "$dir"
    mkdir -p "$dir"
    if ! (cd "$dir" && apt-get source "${apt_opts[@]}" "$pkg" </dev/null >"$dir/apt.log" 2>&1); then
      if [ -z "$updated" ]; then
        log "apt-get source failed; running apt-get update and retrying"
        apt-get update -qq </dev/null
        updated=1
        (cd "$dir" && apt-get source "${apt_opts[@]}" "$pkg" </dev/null >"$dir/apt.log" 2>&1) \
          || { cat "$dir/apt.log" >&2; die "apt-get source $pkg failed"; }
      else
        cat "$dir/apt.log" >&2; die "apt-get source $pkg failed"
      fi
    fi
  fi
  src_dir="$(find "$dir" -mindepth 1 -maxdepth 1 -type d -printf '%p\n' | head -n1)"
  [ -f "$src_dir/debian/changelog" ] || die "no unpacked tree for $pkg in $dir"
  if [ ! -f "$dir/.unpacked" ]; then
    local got
    got="$(dpkg-parsechangelog -l "$src_dir/debian/changelog" -S Version)"
    [ "${got#*:}" = "${version[$pkg]}" ] || die "$pkg: expected ${version[$pkg]}, unpacked $got"
    touch "$dir/.unpacked"
  fi
}

# Cross compiler for a triplet: the win32-thread variant when present.
cc_for() {
  if command -v "$1-gcc-win32" >/dev/null; then echo "$1-gcc-win32"
  elif command -v "$1-gcc" >/dev/null; then echo "$1-gcc"
  else die "no cross compiler for $1"; fi
}

# LuaJIT's build tools for a 32-bit target must be 32-bit programs themselves (they bake in
# the target's structure layout). Some kernels cannot run 32-bit programs; those tools then
# run under qemu's user-mode emulator. Prints the prefix to run them with (empty: directly).
host32_runner() {
  local probe
  probe="$(mktemp -d)"
  printf 'int main(void) { return 0; }\n' >"$probe/p.c"
  gcc -m32 "$probe/p.c" -o "$probe/p" || { rm -rf "$probe"; die "gcc -m32 cannot build (gcc-multilib missing?)"; }
  if "$probe/p" 2>/dev/null; then rm -rf "$probe"; return; fi
  if ! command -v qemu-i386 >/dev/null; then
    log "this kernel runs no 32-bit programs; installing qemu-user for LuaJIT's build tools" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user </dev/null >&2 \
      || die "cannot install qemu-user"
  fi
  qemu-i386 "$probe/p" || { rm -rf "$probe"; die "32-bit build tools cannot run, not even under qemu-i386"; }
  rm -rf "$probe"
  echo "qemu-i386"
}

run_logged() {
  local logf="$1"; shift
  if ! "$@" >"$logf" 2>&1; then
    tail -n 40 "$logf" >&2
    die "command failed (full log: $logf): $*"
  fi
}

build_luajit() {
  local t="$1" src="$2" cc prefix="$deps/$1" b="$build_root/$1/luajit" host_cc=gcc start=$SECONDS
  cc="$(cc_for "$t")"
  local runner= tools=()
  if [ "$t" = i686-w64-mingw32 ]; then
    host_cc="gcc -m32"
    runner="$(host32_runner)"
    [ -z "$runner" ] || tools=(MINILUA_X="$runner host/minilua" BUILDVM_X="$runner host/buildvm")
  fi
  log "building LuaJIT ${version[luajit]} for $t"
  rm -rf "$b"
  mkdir -p "$(dirname "$b")"
  cp -a "$src" "$b"
  # CROSS + CC form the target compiler ($(CROSS)$(CC)); ar/strip come from $(CROSS).
  # CCDEBUG= drops the -g that Debian's packaging patch turns on. The interpreter's hot path is
  # the generated assembler VM, so optimising the C parts for size costs little speed and keeps
  # the shipped program small.
  run_logged "$build_root/$t/luajit.log" \
    make -C "$b/src" -j"$jobs" libluajit.a \
      HOST_CC="$host_cc" CROSS="$t-" CC="${cc#"$t-"}" \
      TARGET_SYS=Windows BUILDMODE=static CCDEBUG= CCOPT="-Os -fomit-frame-pointer" "${tools[@]}"
  rm -rf "$prefix/include/luajit" "$prefix/lib/libluajit.a" "$prefix"/luajit-*.stamp
  mkdir -p "$prefix/include/luajit" "$prefix/lib"
  local h
  for h in lua.h lualib.h lauxlib.h luaconf.h lua.hpp luajit.h; do
    install -m 644 "$b/src/$h" "$prefix/include/luajit/$h"
  done
  install -m 644 "$b/src/libluajit.a" "$prefix/lib/libluajit.a"
  rm -rf "$b"
  echo "recipe=$recipe" >"$(stamp_file "$t" luajit)"
  log "LuaJIT for $t done in $((SECONDS - start))s"
}

build_curl() {
  local t="$1" src="$2" cc prefix="$deps/$1" b="$build_root/$1/curl" start=$SECONDS
  cc="$(cc_for "$t")"
  log "building libcurl ${version[curl]} for $t"
  rm -rf "$b"
  mkdir -p "$b"
  # --disable-pthreads: the mingw headers ship winpthreads, which configure would otherwise
  # pick for the resolver thread; native Win32 threads avoid a libwinpthread dependency.
  # The shipped configure/Makefile.in are the upstream ones (maintainer mode stays off, so
  # nothing is regenerated); Debian's source patches are already applied to the C files.
  run_logged "$build_root/$t/curl-configure.log" \
    env -C "$b" "$src/configure" \
      --host="$t" --prefix="$prefix" \
      CC="$cc" AR="$t-ar" RANLIB="$t-ranlib" STRIP="$t-strip" \
      CFLAGS="-Os -ffunction-sections -fdata-sections" \
      --disable-shared --enable-static \
      --with-schannel --with-zlib="/usr/$t" \
      --enable-threaded-resolver --disable-pthreads \
      --enable-http --disable-ftp --disable-file --disable-ldap --disable-ldaps \
      --disable-rtsp --disable-dict --disable-telnet --disable-tftp --disable-pop3 \
      --disable-imap --disable-smtp --disable-gopher --disable-smb --disable-mqtt \
      --disable-manual \
      --without-libssh2 --without-libssh --without-wolfssh --without-nghttp2 \
      --without-ngtcp2 --without-nghttp3 --without-quiche --without-msh3 --without-hyper \
      --without-brotli --without-zstd --without-libpsl --without-libidn2 --without-winidn \
      --without-librtmp --without-libgsasl --without-gssapi \
      --without-ca-bundle --without-ca-path --without-ca-fallback
  run_logged "$build_root/$t/curl-make.log" make -C "$b/lib" -j"$jobs"
  rm -rf "$prefix/include/curl" "$prefix"/lib/libcurl.* "$prefix"/curl-*.stamp
  run_logged "$build_root/$t/curl-install.log" \
    sh -c 'make -C "$1/lib" install && make -C "$1/include" install' sh "$b"
  rm -f "$prefix/lib/libcurl.la"
  # Libraries a static libcurl needs, as configure determined them (libcurl.pc Libs.private).
  sed -n 's/^Libs.private: *//p' "$b/libcurl.pc" | tr ' ' '\n' | sed -n 's/^-l//p' \
    | awk '!seen[$0]++' | paste -sd' ' >"$prefix/curl-libs.txt"
  [ -s "$prefix/curl-libs.txt" ] || die "could not determine curl's link libraries for $t"
  rm -rf "$b"
  echo "recipe=$recipe" >"$(stamp_file "$t" curl)"
  log "libcurl for $t done in $((SECONDS - start))s (needs: $(cat "$prefix/curl-libs.txt"))"
}

mkdir -p "$src_root" "$build_root"
for t in "${triplets[@]}"; do
  mkdir -p "$deps/$t"
  if stamp_ok "$t" luajit; then
    log "LuaJIT ${version[luajit]} for $t is cached"
  else
    fetch_source luajit
    build_luajit "$t" "$src_dir"
  fi
  if stamp_ok "$t" curl; then
    log "libcurl ${version[curl]} for $t is cached"
  else
    fetch_source curl
    build_curl "$t" "$src_dir"
  fi
done

# Check: the archives exist and a small program using both links as a static Windows exe.
check_dir="$(mktemp -d)"
trap 'rm -rf "$check_dir"' EXIT
cat >"$check_dir/check.c" <<'EOF'
#include <curl/curl.h>
#include <luajit/lauxlib.h>
#include <luajit/lualib.h>
int main(void) {
  lua_State *L = luaL_newstate();
  CURL *h;
  if (!L) return 1;
  luaL_openlibs(L);
  lua_close(L);
  h = curl_easy_init();
  if (!h) return 2;
  curl_easy_setopt(h, CURLOPT_URL, "https://localhost/");
  curl_easy_cleanup(h);
  return curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_SSL ? 0 : 3;
}
EOF
for t in "${triplets[@]}"; do
  p="$deps/$t"
  for f in "$p/lib/libluajit.a" "$p/lib/libcurl.a" "$p/include/luajit/lua.h" \
           "$p/include/curl/curl.h" "$p/curl-libs.txt"; do
    [ -s "$f" ] || die "missing $f"
  done
  read -ra curl_libs <"$p/curl-libs.txt"
  "$(cc_for "$t")" -static -DCURL_STATICLIB -I"$p/include" "$check_dir/check.c" \
    -o "$check_dir/check-$t.exe" -L"$p/lib" -lcurl -lluajit "${curl_libs[@]/#/-l}" \
    || die "test program does not link for $t"
  # Only system DLLs may be imported (no zlib1.dll, libwinpthread-1.dll, libgcc DLLs, ...).
  bad="$("$t-objdump" -p "$check_dir/check-$t.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' \
    | grep -viE '^(kernel32|user32|advapi32|ws2_32|crypt32|bcrypt|msvcrt|api-ms-win-.*)\.dll$' || true)"
  [ -z "$bad" ] || die "test program for $t imports unexpected DLLs: $(echo $bad)"
  rm -f "$check_dir/check-$t.exe"
done
log "LuaJIT ${version[luajit]} and libcurl ${version[curl]} ready in $deps"
