#!/usr/bin/env bash
# with-wine.sh PREFIX_DIR [--target i686|x86_64] [--keep-prefix] -- COMMAND...
# Runs COMMAND with a prepared Wine prefix for the target (i686: a win32 prefix and Wine's
# 32-bit loader; x86_64: a win64 prefix and the 64-bit loader; default $BRIVANE_TARGET or
# i686), in a fresh Xvfb display (unless BRIVANE_USE_DISPLAY=1 and $DISPLAY is set) and
# with a warm persistent wineserver, so that ctest and the end-to-end scripts pay Wine's
# start-up once. The prefix is made anew unless --keep-prefix is given and it already exists.
#
# Debian's "wine" script always starts the 32-bit loader when wine32 is installed, even
# where it cannot run, so COMMAND finds a "wine" on its PATH that starts the target's
# loader ($WINELOADER).
set -euo pipefail
prefix=$1; shift
target=${BRIVANE_TARGET:-i686}
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --target) target=$2; shift 2 ;;
    --keep-prefix) keep=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done

case $target in
  i686)   export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
  x86_64) export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "with-wine: unknown target $target (i686 or x86_64)" >&2; exit 2 ;;
esac
export BRIVANE_TARGET=$target
export WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

# The "wine" of this run: a small script in a folder beside the prefix, first on PATH.
shims=$WINEPREFIX.bin
mkdir -p "$shims"
printf '#!/bin/sh\nexec %s "$@"\n' "$WINELOADER" > "$shims/wine"
chmod +x "$shims/wine"
export PATH=$shims:$PATH

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
  # (a win64 prefix without a runnable wine32 prints "failed to open
  # C:\windows\syswow64\rundll32.exe": harmless; the output goes to a log beside the prefix)
  wine wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1 \
    || { echo "with-wine: wineboot failed ($target):" >&2; tail -20 "$WINEPREFIX.boot.log" >&2; exit 1; }
  wineserver -w
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # The editor's face "Calibri" is not on Linux: its metric-compatible twin Carlito stands in.
  cp -n /usr/share/fonts/truetype/crosextra/Carlito-*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Calibri /t REG_SZ /d Carlito /f >/dev/null 2>&1
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
