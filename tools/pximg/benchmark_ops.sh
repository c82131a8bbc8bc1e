#!/usr/bin/env bash
# Cost of a 3 x 3 Filter and a bilinear Rotate2 by 17 degrees on a 1920 x 1080
# 24-bit image, against ImageMagick's -convolve and -rotate 17 on the same image.
# Only the operation is timed (pximg time; ImageMagick's -bench repeats the
# operator on the image it read once). Prints times and ratios; never fails on time.
# Usage: benchmark_ops.sh PATH_TO_PXIMG [RUNS]. Exit 77 (skipped) without ImageMagick.
set -u
pximg=$1; runs=${2:-3}
command -v convert >/dev/null 2>&1 || { echo "skipped: convert not available"; exit 77; }
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
convert -seed 1 -size 1920x1080 xc:gray +noise Random -depth 8 PNG24:"$dir/big.png" || exit 1

# ms per run of ImageMagick: "one" with a single thread (-bench's first line),
# "all" with its best thread count.
magick_ms() {  # magick_ms one|all OPERATOR...
  local which=$1; shift
  convert "$dir/big.png" -bench "$runs" "$@" null: 2>&1 |
    awk -v which="$which" '/Performance\[/ { split($3, a, "ips"); ips = a[1] + 0;
        if (which == "one" && !done) { best = ips; done = 1 }
        if (which == "all" && ips > best) best = ips }
      END { if (best > 0) printf "%.1f", 1000 / best; else print "nan" }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

ours_filter=$("$pximg" time "$dir/big.png" "$runs" filter 9 0 1 1 1 1 1 1 1 1 1) || exit 1
ours_rotate=$("$pximg" time "$dir/big.png" "$runs" rotate2 17 2 2 0 0) || exit 1
im_filter_one=$(MAGICK_THREAD_LIMIT=1 magick_ms one -convolve 1,1,1,1,1,1,1,1,1)
im_filter_all=$(magick_ms all -convolve 1,1,1,1,1,1,1,1,1)
im_rotate_one=$(MAGICK_THREAD_LIMIT=1 magick_ms one -rotate 17)
im_rotate_all=$(magick_ms all -rotate 17)

echo "Filter 3x3 1920x1080: ours ${ours_filter} ms, ImageMagick 1 thread ${im_filter_one} ms" \
     "(ratio $(ratio "$ours_filter" "$im_filter_one")), all threads ${im_filter_all} ms" \
     "(ratio $(ratio "$ours_filter" "$im_filter_all"))"
echo "Rotate2 17 bilinear 1920x1080: ours ${ours_rotate} ms, ImageMagick 1 thread ${im_rotate_one} ms" \
     "(ratio $(ratio "$ours_rotate" "$im_rotate_one")), all threads ${im_rotate_all} ms" \
     "(ratio $(ratio "$ours_rotate" "$im_rotate_all"))"
exit 0
