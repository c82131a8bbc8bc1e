#!/usr/bin/env bash
# Benchmark of our own MP4 writer (not a test: ctest does not run it; the numbers depend on
# the machine). Makes 300 raw 1280x720 BGRA frames with motion, then, pinned to one core,
# times the writer natively, the same program built for each Windows target under Wine,
# and ffmpeg's libx264 (ultrafast, one thread) on the same frames; prints frames per
# second (the median of BENCH_RUNS runs, default 3) and the ratio writer / ffmpeg.
#
# Goal: each writer encodes at least 1 / 1.5 as many frames per second as ffmpeg, that is
# its processor time per frame is at most 1.5 times libx264's (the encoder's share of the
# recording goal: the program's processor time per recorded frame at most 1.5 times
# ffmpeg's). Each writer line ends in PASS or MISS against it.
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
RUNS=${BENCH_RUNS:-3}
MIN_RATIO=0.67   # 1 / 1.5
echo "goal: writer/ffmpeg frames per second >= $MIN_RATIO (processor time per frame <= 1.5x libx264 ultrafast)"

median() { python3 -c "import statistics, sys; print(f'{statistics.median(map(float, sys.argv[1:])):.1f}')" "$@"; }

# The writer's result line: "N frames in S s: F fps"; anything else it printed is in the
# log beside its output file.
fps_of() {
  local line
  line=$(grep -E '^[0-9]+ frames in [0-9.]+ s: [0-9.]+ fps$' <<<"$1" | tail -n 1) || true
  [ -n "$line" ] || { echo "benchmark: no result line in: $1" >&2; exit 1; }
  sed -E 's/.*: ([0-9.]+) fps/\1/' <<<"$line"
}

runs=()
for _ in $(seq "$RUNS"); do
  ff_start=$(date +%s.%N)
  taskset -c "$CORE" ffmpeg -v error -f rawvideo -pix_fmt bgra -s 1280x720 -r 30 -i "$WORK/frames.bgra" \
    -c:v libx264 -preset ultrafast -threads 1 -b:v 3200k -y "$WORK/ffmpeg.mp4"
  ff_end=$(date +%s.%N)
  runs+=("$(python3 -c "print(300 / ($ff_end - $ff_start))")")
done
ff_fps=$(median "${runs[@]}")
echo "ffmpeg libx264 ultrafast: $ff_fps fps (including reading the frames)"

verdict() {
  python3 -c "r = $1 / $ff_fps; print(f'writer/ffmpeg {r:.2f} ' + ('PASS' if r >= $MIN_RATIO else 'MISS'))"
}

runs=()
for _ in $(seq "$RUNS"); do
  out=$(taskset -c "$CORE" "$NATIVE/tests/writer_bench" "$WORK/frames.bgra" 1280 720 30 3200000 "$WORK/native.mp4")
  runs+=("$(fps_of "$out")")
done
fps=$(median "${runs[@]}")
echo "writer native: $fps fps (runs: ${runs[*]}); $(verdict "$fps")"
for pair in "x86_64:$WIN64" "i686:$WIN32"; do
  t=${pair%%:*}; dir=${pair#*:}
  [ -n "$dir" ] || continue
  runs=()
  for _ in $(seq "$RUNS"); do
    out=$("$here/scripts/with-wine.sh" "$WORK/prefix-$t" --target "$t" -- \
          taskset -c "$CORE" wine "$dir/tests/writer_bench.exe" "Z:$WORK/frames.bgra" 1280 720 30 3200000 \
          "Z:$WORK/$t.mp4" | tr -d '\r')
    runs+=("$(fps_of "$out")")
  done
  fps=$(median "${runs[@]}")
  echo "writer $t under Wine: $fps fps (runs: ${runs[*]}); $(verdict "$fps")"
done
