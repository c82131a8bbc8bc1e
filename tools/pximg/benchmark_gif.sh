#!/usr/bin/env bash
# GIF speed against ImageMagick: a 1920 x 1080 8-bit screen-like picture (windows,
# text, flat areas; kept as an 8-bit BMP so neither side quantises) encoded to GIF
# and decoded back, best of several runs each; both outputs must hold the source's
# pixels. Prints the times and the ratios; a benchmark, never a pass/fail on time.
# Usage: benchmark_gif.sh PATH_TO_PXIMG [RUNS]
set -u
pximg=$1; runs=${2:-5}
convert=convert; [ -x /usr/bin/convert ] && convert=/usr/bin/convert
command -v compare >/dev/null 2>&1 || { echo "skipped: ImageMagick not available"; exit 77; }
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT

# A desktop-like picture: a gradient background, window frames, title bars and text.
font=$(fc-match -f '%{file}' sans 2>/dev/null)
args=(-size 1920x1080 gradient:'#204060-#6080a0')
[ -n "$font" ] && args+=(-font "$font")
for i in 0 1 2 3 4 5; do
  x=$((60 + i * 280)); y=$((40 + i * 150))
  args+=(-fill '#f0f0f0' -draw "rectangle $x,$y $((x + 700)),$((y + 420))"
         -fill '#3060c0' -draw "rectangle $x,$y $((x + 700)),$((y + 28))"
         -fill black -pointsize 14)
  for l in $(seq 0 16); do
    args+=(-draw "text $((x + 12)),$((y + 50 + l * 21)) 'Line $l of window $i: the quick brown fox jumps over the lazy dog 0123456789'")
  done
done
$convert "${args[@]}" +dither -colors 256 -type Palette BMP3:"$dir/screen.bmp" || exit 1

best() {  # best COMMAND...: the fastest of $runs runs, in milliseconds
  local b=999999 i s e
  for i in $(seq 1 "$runs"); do
    s=$(date +%s%N); "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; return 1; }; e=$(date +%s%N)
    t=$(( (e - s) / 1000000 )); [ $t -lt $b ] && b=$t
  done
  echo $b
}
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }

px_enc=$(best "$pximg" convert "$dir/screen.bmp" "$dir/px.gif" gif)
px_dec=$(best "$pximg" convert "$dir/px.gif" "$dir/px_back.bmp" bmp)
im1_enc=$(MAGICK_THREAD_LIMIT=1 best $convert "$dir/screen.bmp" "$dir/im.gif")
im1_dec=$(MAGICK_THREAD_LIMIT=1 best $convert "$dir/im.gif" BMP3:"$dir/im_back.bmp")
im_enc=$(best $convert "$dir/screen.bmp" "$dir/im.gif")
im_dec=$(best $convert "$dir/im.gif" BMP3:"$dir/im_back.bmp")
ok=1
same "$dir/screen.bmp" "$dir/px.gif" || { echo "pximg GIF pixels differ"; ok=0; }
same "$dir/screen.bmp" "$dir/px_back.bmp" || { echo "pximg decoded pixels differ"; ok=0; }
same "$dir/screen.bmp" "$dir/im_back.bmp" || { echo "ImageMagick pixels differ"; ok=0; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "inf" }'; }
echo "benchmark gif encode: pximg ${px_enc} ms, ImageMagick 1 thread ${im1_enc} ms (x$(ratio "$px_enc" "$im1_enc")), default threads ${im_enc} ms (x$(ratio "$px_enc" "$im_enc"))"
echo "benchmark gif decode: pximg ${px_dec} ms, ImageMagick 1 thread ${im1_dec} ms (x$(ratio "$px_dec" "$im1_dec")), default threads ${im_dec} ms (x$(ratio "$px_dec" "$im_dec"))"
echo "benchmark gif sizes: pximg $(stat -c %s "$dir/px.gif") bytes, ImageMagick $(stat -c %s "$dir/im.gif") bytes"
[ $ok = 1 ]
