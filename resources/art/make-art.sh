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

# The settings window's silent-mode switch ("on" and "off") and the help icon: PNG
# resources 196, 200 and 201.
switch_image() {  # switch_image BG KNOB_X OUT
  convert -size 48x24 xc:none -fill "$1" -draw "roundrectangle 0,0 47,23 11,11" \
    -fill white -draw "circle $2,12 $2,3" -strip "$3"
}
switch_image '#1f6fd1' 35 ../switch_on.png
switch_image '#9a9a9a' 12 ../switch_off.png
convert -size 16x16 xc:none -fill '#1f6fd1' -draw "circle 7.5,7.5 7.5,0" \
  -fill white -draw "roundrectangle 6.5,11 8.5,13 1,1" \
  -stroke white -strokewidth 2 -fill none -draw "path 'M 5,5.5 C 5,2.5 10.5,2.5 10.5,5.5 C 10.5,7.5 7.5,7.5 7.5,9.5'" \
  -strip ../help.png

# The new-version pop-up's logo: PNG resource 193, the app's lens with an arrow.
draw 48 '#1f6fd1' "$tmp/update48.png"
convert "$tmp/update48.png" -fill '#4caf50' -stroke white -strokewidth 2 \
  -draw "circle 37,37 37,27" -stroke white -strokewidth 3 -draw "line 37,31 37,42" \
  -draw "line 32,38 37,43" -draw "line 42,38 37,43" -strip ../update.png
