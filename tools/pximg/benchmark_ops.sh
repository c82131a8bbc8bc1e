#!/usr/bin/env bash
# Cost of a 3 x 3 Filter and a bilinear Rotate2 by 17 degrees on a 1920 x 1080
# 24-bit image, against ImageMagick's -convolve and -rotate 17 on the same image.
# Only the operation is timed (pximg time; ImageMagick's -bench repeats the
# operator on the image it read once). The two sides take turns, ROUNDS times; the
# medians are compared.
# Goal: each operation takes at most as long as ImageMagick on one thread
# (ratio <= 1.00): PASS or MISS is printed beside the figures. A benchmark, never a
# failed test: the figures depend on the machine. Pin it to one core away from other
# load, for example: taskset -c 3 benchmark_ops.sh build/native/tools/pximg/pximg
# Usage: benchmark_ops.sh PATH_TO_PXIMG [ROUNDS]. Exit 77 (skipped) without ImageMagick.
set -u
pximg=$1; rounds=${2:-7}
convert=convert; [ -x /usr/bin/convert ] && convert=/usr/bin/convert
command -v "$convert" >/dev/null 2>&1 || { echo "skipped: convert not available"; exit 77; }
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
$convert -seed 1 -size 1920x1080 xc:gray +noise Random -depth 8 PNG24:"$dir/big.png" || exit 1

# ms per run of ImageMagick (the mean of two: -bench prints nothing for one), "one"
# with a single thread (-bench's first line), "all" with its best thread count.
magick_ms() {  # magick_ms one|all OPERATOR...
  local which=$1; shift
  $convert "$dir/big.png" -bench 2 "$@" null: 2>&1 |
    awk -v which="$which" '/Performance\[/ { split($3, a, "ips"); ips = a[1] + 0;
        if (which == "one" && !done) { best = ips; done = 1 }
        if (which == "all" && ips > best) best = ips }
      END { if (best > 0) printf "%.1f", 1000 / best; else print "nan" }'
}

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
verdict() { awk -v r="$1" 'BEGIN { print (r != "n/a" && r <= 1.0) ? "PASS" : "MISS" }'; }

report() {  # report LABEL OURS_OPERATION... -- IMAGEMAGICK_OPERATOR...
  local label=$1; shift
  local ours=() theirs=() o=() t1=() ta=() r
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift; theirs=("$@")
  for r in $(seq 1 "$rounds"); do
    o+=("$("$pximg" time "$dir/big.png" 1 "${ours[@]}")") || exit 1
    t1+=("$(MAGICK_THREAD_LIMIT=1 magick_ms one "${theirs[@]}")")
    ta+=("$(magick_ms all "${theirs[@]}")")
  done
  local om t1m tam r1
  om=$(echo "${o[*]}" | median); t1m=$(echo "${t1[*]}" | median); tam=$(echo "${ta[*]}" | median)
  r1=$(ratio "$om" "$t1m")
  printf '%s: ours %s ms, ImageMagick 1 thread %s ms (ratio %s, goal <= 1.00: %s), all threads %s ms (ratio %s)\n' \
    "$label" "$om" "$t1m" "$r1" "$(verdict "$r1")" "$tam" "$(ratio "$om" "$tam")"
  echo "  runs (ms): ours ${o[*]}; ImageMagick 1 thread ${t1[*]}; all threads ${ta[*]}"
}

echo "medians of $rounds rounds, 1920x1080 24-bit"
report "Filter 3x3" filter 9 0 1 1 1 1 1 1 1 1 1 -- -convolve 1,1,1,1,1,1,1,1,1
report "Rotate2 17 bilinear" rotate2 17 2 2 0 0 -- -rotate 17
exit 0
