#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds the program and runs it under
# Wine: on your X display when $DISPLAY is set, otherwise in a fresh Xvfb where it takes
# one full-screen screenshot ("-f") and prints where the picture and the log went.
# Program arguments are passed on. It runs the 32-bit build (i686) where the machine runs
# 32-bit code, else the 64-bit one (x86_64); BRIVANE_TARGET chooses. The Wine prefix is
# kept in $BRIVANE_PREFIX (default ~/.local/share/brivane/wine-<target>).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
if [ -z "${BRIVANE_TARGET:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then BRIVANE_TARGET=i686; else BRIVANE_TARGET=x86_64; fi
fi
export BRIVANE_TARGET
echo "Target: $BRIVANE_TARGET ($( [ $BRIVANE_TARGET = i686 ] && echo 32-bit || echo 64-bit ) build)"
DEPS=$(scripts/deps.sh "$BRIVANE_TARGET")
BUILD=build/win-$BRIVANE_TARGET
cmake -S . -B $BUILD -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$DEPS/share/cmake/toolchain-$BRIVANE_TARGET-w64-mingw32.cmake" >/dev/null
cmake --build $BUILD -j"$(nproc)" --target brivane
PREFIX=${BRIVANE_PREFIX:-$HOME/.local/share/brivane/wine-$BRIVANE_TARGET}
EXE=$PWD/$BUILD/app/brivane.exe

if [ -n "${DISPLAY:-}" ]; then
  echo "Running on $DISPLAY (Exit from the tray menu ends it)"
  BRIVANE_USE_DISPLAY=1 scripts/with-wine.sh "$PREFIX" --keep-prefix -- wine "$EXE" "$@"
else
  echo "No display: running in a fresh Xvfb with a full-screen screenshot"
  args=("$@"); [ ${#args[@]} -gt 0 ] || args=(-f)
  scripts/with-wine.sh "$PREFIX" --keep-prefix -- bash -c '
    exe=$1; shift
    home=$(ls -d "$WINEPREFIX"/drive_c/users/*/ | grep -v /Public/ | head -1)
    # Uploads need a service: a first run keeps its shots on the clipboard and in files.
    settings="$home/AppData/Local/brivane/settings.json"
    if [ ! -f "$settings" ]; then
      mkdir -p "$(dirname "$settings")"; echo "{\"storage_type\":5}" > "$settings"
    fi
    before=$(date +%s)
    wine "$exe" "$@" & pid=$!
    # The program stays in the tray; wait (at most 60 s) for the screenshot, then ask it
    # to close through its close-request file.
    for _ in $(seq 300); do
      shot=$(find "$home" -name "Screenshot *" -newermt "@$before" 2>/dev/null | head -1)
      [ -n "$shot" ] && break
      kill -0 $pid 2>/dev/null || break
      sleep 0.2
    done
    touch "$home/Temp/cvx_do_close"
    for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
    kill $pid 2>/dev/null || true
    echo "Log:"; ls -t "$home"/AppData/Local/brivane/log/*.log 2>/dev/null | head -1 | xargs -r cat
    if [ -n "$shot" ]; then echo "Screenshot: $shot"; identify "$shot" 2>/dev/null || true
    else echo "No screenshot was taken"; fi' run "$EXE" "${args[@]}"
fi
