#!/usr/bin/env bash
# with-pulse.sh RUN_DIR [--] COMMAND...
# Runs COMMAND beside a private PulseAudio server of its own (socket and runtime folder in
# RUN_DIR, nothing shared with the machine's sound): a null sink "test_sink" with a 1 kHz
# sine playing into it, whose monitor is the default source, so a capture of the default
# microphone hears the tone. PULSE_SERVER is exported for Wine's sound driver, and
# BRIVANE_PULSE=1 tells tests that a server runs. The server is stopped by its pid.
set -euo pipefail
dir=$1; shift
[ "${1:-}" = -- ] && shift
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
rm -rf "$dir/runtime" "$dir/state"; mkdir -p "$dir/runtime" "$dir/state"; chmod 700 "$dir/runtime"
rm -f "$dir/native"
export XDG_RUNTIME_DIR=$dir/runtime PULSE_RUNTIME_PATH=$dir/runtime PULSE_STATE_PATH=$dir/state
export PULSE_SERVER=unix:$dir/native
if ! command -v pulseaudio >/dev/null; then
  echo "with-pulse: pulseaudio not installed; running without a sound server" >&2
  export PULSE_SERVER=unix:$dir/missing
  exec "$@"
fi
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
  --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
  --load="module-null-sink sink_name=test_sink" \
  --load="module-sine sink=test_sink frequency=1000" \
  >"$dir/pulse.log" 2>&1 &
pulse_pid=$!
cleanup() { kill "$pulse_pid" 2>/dev/null || true; wait "$pulse_pid" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "with-pulse: the server did not start:" >&2; tail -20 "$dir/pulse.log" >&2; exit 1; }
pactl set-default-sink test_sink
pactl set-default-source test_sink.monitor
export BRIVANE_PULSE=1
set +e
"$@"
rc=$?
exit $rc
