#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows program under Wine for the tests of the Windows build.
#
#   wine-run.sh --prefix=DIR [--arch=win32|win64] [--init] [PROGRAM.exe [ARGS...]]
#
# DIR is a Wine prefix of the build's own, 32-bit unless --arch=win64 or its build is the 64-bit
# one that stands in where the machine cannot run 32-bit programs; it is made on first use
# (guarded by a lock, so tests started together make it once). --init only makes sure it exists. Without DISPLAY the
# program gets a private Xvfb, and everything left in the prefix is stopped when it ends;
# those runs are serialised, since stopping the prefix's processes would hit a neighbour's.
set -eu

prefix=
arch=
init=no
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix=*) prefix=${1#--prefix=}; shift ;;
    --arch=*) arch=${1#--arch=}; shift ;;
    --init) init=yes; shift ;;
    *) break ;;
  esac
done
[ -n "$prefix" ] || { echo "wine-run.sh: --prefix=DIR is required" >&2; exit 2; }

export WINEPREFIX="$prefix"
# Without --arch, the prefix's own build says (the prefix sits in the build folder).
if [ -z "$arch" ]; then
  arch=$(sed -n 's/^PICTRANE_WINE_ARCH:[A-Z]*=//p' "$(dirname "$prefix")/CMakeCache.txt" 2>/dev/null)
fi
arch=${arch:-win32}
export WINEARCH="$arch"
# Debian's wine runs the 32-bit loader whenever it is installed; a 64-bit prefix needs wine64.
wine=wine
if [ "$arch" = win64 ]; then
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
fi
export WINEDEBUG=-all
# No Mono or Gecko install prompts, and no menu entries written to the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

make_prefix() {
  [ -f "$prefix/.pictrane-ready-2" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock -w 600 9 || { echo "wine-run.sh: timed out waiting for $prefix.lock" >&2; exit 1; }
    if [ ! -f "$prefix/.pictrane-ready-2" ]; then
      rm -rf "$prefix"
      if ! timeout 300 "$wine" wineboot -i >/dev/null 2>&1; then
        echo "wine-run.sh: wineboot failed for $prefix" >&2
        exit 1
      fi
      # Windows of their own, not left to a window manager: there is none on the X server of the
      # tests, and waiting for one costs seconds whenever a window goes.
      timeout 120 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1 || { echo "wine-run.sh: cannot configure $prefix" >&2; exit 1; }
      timeout 120 wineserver -w || true
      touch "$prefix/.pictrane-ready-2"
    fi
  ) 9>"$prefix.lock"
}

make_prefix
[ "$init" = yes ] && [ $# -eq 0 ] && exit 0
[ $# -gt 0 ] || { echo "wine-run.sh: no program given" >&2; exit 2; }

if [ -n "${DISPLAY:-}" ]; then
  exec "$wine" "$@"
fi

# A private X server: Xvfb picks a free display and tells us its number.
run_private() {
  dpyfile=$(mktemp)
  Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$dpyfile" >/dev/null 2>&1 &
  xvfb=$!
  i=0
  while [ ! -s "$dpyfile" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  if [ ! -s "$dpyfile" ]; then
    kill "$xvfb" 2>/dev/null || true
    rm -f "$dpyfile"
    echo "wine-run.sh: Xvfb did not start" >&2
    return 1
  fi
  DISPLAY=:$(head -n 1 "$dpyfile")
  export DISPLAY
  rm -f "$dpyfile"
  status=0
  "$wine" "$@" || status=$?
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  return $status
}

(
  flock -w 1800 8 || { echo "wine-run.sh: timed out waiting for $prefix.run.lock" >&2; exit 1; }
  run_private "$@"
) 8>"$prefix.run.lock"
