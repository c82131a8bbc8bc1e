#!/usr/bin/env bash
# Benchmark of our own MP4 writer (not a test: ctest does not run it; the numbers depend on
# the machine). Makes 300 raw 1280x720 BGRA frames with motion, then, pinned to one core,
# times the writer natively, the same program built for each Windows target under Wine,
# and ffmpeg's libx264 (ultrafast, one thread) on the same frames; prints frames per
# second and the ratio writer / ffmpeg.
#
#   tests/bench/writer_benchmark.sh NATIVE_BUILD [WIN_BUILD_x86_64] [WIN_BUILD_i686]
set -euo pipefail
NATIVE=${1:?usage: writer_benchmark.sh NATIVE_BUILD [WIN_BUILD_x86_64] [WIN_BUILD_i686]}
WIN64=${2:-}
WIN32=${3:-}
here=$(cd "$(dirname "$0")/../.." && pwd)
command -v ffmpeg >/dev/null || { echo "benchmark: ffmpeg is missing" >&2; exit 1; }
WORK=$(mktemp -d /tmp/brivane-writer-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
ffmpeg -v error -f lavfi -i testsrc2=size=1280x720:rate=30 -frames:v 300 -pix_fmt bgra -f rawvideo "$WORK/frames.bgra"
CORE=${BENCH_CORE:-0}

ff_start=$(date +%s.%N)
taskset -c "$CORE" ffmpeg -v error -f rawvideo -pix_fmt bgra -s 1280x720 -r 30 -i "$WORK/frames.bgra" \
  -c:v libx264 -preset ultrafast -threads 1 -b:v 3200k -y "$WORK/ffmpeg.mp4"
ff_end=$(date +%s.%N)
ff_fps=$(python3 -c "print(f'{300 / ($ff_end - $ff_start):.1f}')")
echo "ffmpeg libx264 ultrafast: $ff_fps fps (including reading the frames)"

ratio() { python3 -c "print(f'{$1 / $ff_fps:.2f}')"; }
out=$(taskset -c "$CORE" "$NATIVE/tests/writer_bench" "$WORK/frames.bgra" 1280 720 30 3200000 "$WORK/native.mp4")
fps=$(echo "$out" | sed -E 's/.*: ([0-9.]+) fps/\1/')
echo "writer native: $out; writer/ffmpeg $(ratio "$fps")"
for pair in "x86_64:$WIN64" "i686:$WIN32"; do
  t=${pair%%:*}; dir=${pair#*:}
  [ -n "$dir" ] || continue
  out=$("$here/scripts/with-wine.sh" "$WORK/prefix-$t" --target "$t" -- \
        taskset -c "$CORE" wine "$dir/tests/writer_bench.exe" "Z:$WORK/frames.bgra" 1280 720 30 3200000 \
        "Z:$WORK/$t.mp4" | tr -d '\r')
  fps=$(echo "$out" | sed -E 's/.*: ([0-9.]+) fps/\1/')
  echo "writer $t under Wine: $out; writer/ffmpeg $(ratio "$fps")"
done
