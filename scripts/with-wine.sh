#!/usr/bin/env bash
# with-wine.sh PREFIX_DIR [--keep-prefix] -- COMMAND...
# Runs COMMAND with a prepared 32-bit Wine prefix, in a fresh Xvfb display (unless
# BRIVANE_USE_DISPLAY=1 and $DISPLAY is set) and with a warm persistent wineserver, so
# that ctest and the end-to-end scripts pay Wine's start-up once. The prefix is made
# anew unless --keep-prefix is given and it already exists.
set -euo pipefail
prefix=$1; shift
keep=0
if [ "${1:-}" = "--keep-prefix" ]; then keep=1; shift; fi
[ "${1:-}" = "--" ] && shift

export WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ "${BRIVANE_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
  :
else
  for n in $(seq 90 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 ${BRIVANE_SCREEN:-1280x1024x24} -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e /tmp/.X11-unix/X$n ]; then export DISPLAY=:$n; break; fi
    xvfb_pid=
  done
  [ -n "$xvfb_pid" ] || { echo "with-wine: could not start Xvfb" >&2; exit 1; }
fi

if [ $keep = 0 ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # User folders are symlinks into $HOME: make them real folders of the prefix.
  for d in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
  done
  wineserver -w
fi

wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
# Detached from our output: the services must not hold ctest's pipe open.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
"$@"
