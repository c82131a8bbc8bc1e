#!/usr/bin/env bash
# The neighbourhood filters and channel operations of pximg against ImageMagick's
# operations of the same definition, on small generated images. Borders differ
# (outside reads give pixel (0, 0) here), so a frame of k/2 is left out; sums
# truncate here and round there, so the convolution may differ by 1.
# Usage: pximg_ops_test.sh PATH_TO_PXIMG. Exit 77 (skipped) without ImageMagick.
set -u
pximg=$1
for tool in convert compare; do
  command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool not available"; exit 77; }
done
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
failures=0; checks=0
# within DESCRIPTION OURS REFERENCE SHAVE LIMIT: largest channel difference inside
# a frame of SHAVE pixels is at most LIMIT.
within() {
  checks=$((checks + 1))
  local d
  d=$(convert "$2" "$3" -compose difference -composite -shave "$4x$4" -format '%[fx:round(maxima*255)]' info: 2>&1)
  if [ -n "$d" ] && [ "$d" -le "$5" ] 2>/dev/null; then echo "ok   $1"; else echo "FAIL $1 (difference $d)"; failures=$((failures + 1)); fi
}
run() {  # run DESCRIPTION COMMAND...
  if ! "${@:2}"; then echo "FAIL $1 (command failed)"; failures=$((failures + 1)); checks=$((checks + 1)); return 1; fi
}

convert -seed 3 -size 24x20 plasma:fractal -depth 8 PNG24:"$dir/rgb.png"
convert "$dir/rgb.png" -colorspace gray -depth 8 -define png:color-type=0 "$dir/grey.png"

# Convolution: our kernel rows run from the bottom row up, ImageMagick's from the
# top, so its kernel is ours flipped vertically; the scale is 1/divisor.
ours="1 2 1 0 3 0 -1 1 2"; theirs="-1,1,2 0,3,0 1,2,1"
run "filter rgb" "$pximg" op "$dir/rgb.png" "$dir/f.png" filter 9 0 $ours &&
  convert "$dir/rgb.png" -define convolve:scale=0.11111111 -morphology Correlate "3x3: $theirs" "$dir/fr.png" &&
  within "filter rgb 3x3" "$dir/f.png" "$dir/fr.png" 1 1
run "filter grey" "$pximg" op "$dir/grey.png" "$dir/g.png" filter 9 0 $ours &&
  convert "$dir/grey.png" -define convolve:scale=0.11111111 -morphology Correlate "3x3: $theirs" "$dir/gr.png" &&
  within "filter grey 3x3" "$dir/g.png" "$dir/gr.png" 1 1
# The grey path keeps the outer frame as it was.
convert "$dir/g.png" -fill black -draw 'rectangle 1,1 22,18' "$dir/gframe.png"
convert "$dir/grey.png" -fill black -draw 'rectangle 1,1 22,18' "$dir/gsrcframe.png"
within "filter grey keeps its frame" "$dir/gframe.png" "$dir/gsrcframe.png" 0 0

for r in 1 2; do
  k=$((2 * r + 1))
  for op in erode dilate; do
    name=Erode; [ $op = dilate ] && name=Dilate
    run "$op $k" "$pximg" op "$dir/rgb.png" "$dir/m.png" $op $k &&
      convert "$dir/rgb.png" -morphology $name Square:$r "$dir/mr.png" &&
      within "$op $k" "$dir/m.png" "$dir/mr.png" $r 0
  done
  run "edge $k" "$pximg" op "$dir/rgb.png" "$dir/e.png" edge $k &&
    convert "$dir/rgb.png" -morphology Edge Square:$r -negate "$dir/er.png" &&
    within "edge $k" "$dir/e.png" "$dir/er.png" $r 0
  run "median $k" "$pximg" op "$dir/grey.png" "$dir/md.png" median $k &&
    convert "$dir/grey.png" -statistic Median ${k}x${k} "$dir/mdr.png" &&
    within "median $k" "$dir/md.png" "$dir/mdr.png" $r 0
done

# Channels: split and combine agree exactly, borders included.
for n in 0 1 2; do
  run "channel $n" "$pximg" op "$dir/rgb.png" "$dir/c$n.png" channel rgb $n &&
    convert "$dir/rgb.png" -channel $(echo RGB | cut -c$((n + 1))) -separate "$dir/cr$n.png" &&
    within "split rgb channel $n" "$dir/c$n.png" "$dir/cr$n.png" 0 0
done
run "combine" "$pximg" op "$dir/c0.png" "$dir/comb.png" combine 0 "$dir/c1.png" "$dir/c2.png" &&
  within "combine rgb" "$dir/comb.png" "$dir/rgb.png" 0 0
convert "$dir/cr0.png" "$dir/cr1.png" "$dir/cr2.png" -combine "$dir/combr.png"
within "combine rgb against -combine" "$dir/comb.png" "$dir/combr.png" 0 0

echo "pximg ops: $((checks - failures)) passed, $failures failed"
[ $failures = 0 ]
