#!/usr/bin/env bash
# Draws the program's icons with ImageMagick. The results are committed; run this
# again only to change the artwork.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
draw() {  # draw SIZE BG OUT: a rounded square with a lens
  local s=$1 bg=$2 out=$3 r c l
  r=$(( s / 5 )); c=$(( s / 2 )); l=$(( s * 9 / 32 ))
  convert -size ${s}x${s} xc:none -fill "$bg" -draw "roundrectangle 0,0 $((s-1)),$((s-1)) $r,$r" \
    -fill white -draw "circle $c,$c $c,$((c-l))" \
    -fill "$bg" -draw "circle $c,$c $c,$((c-l*3/5))" \
    -fill white -draw "circle $c,$c $c,$((c-l/4))" "$out"
}
for s in 16 32 48; do draw $s '#1f6fd1' "$tmp/app$s.png"; draw $s '#d13f1f' "$tmp/rec$s.png"; done
convert "$tmp"/app16.png "$tmp"/app32.png "$tmp"/app48.png ../app.ico
convert "$tmp"/rec16.png "$tmp"/rec32.png "$tmp"/rec48.png ../tray_recording.ico
