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

# The region editor's panels: backgrounds (bitmaps 160 and 162) and 38x38 button
# pictures in three states: normal (dark), hover (lighter) and active (blue). Each glyph
# is one MVG drawing.
mkdir -p ../editor
button() {  # button BG GLYPH_MVG OUT
  convert -size 38x38 xc:none -fill "$1" -draw "roundrectangle 1,1 36,36 6,6" \
    -draw "stroke white stroke-width 3 fill none $2" -strip "png32:$3"
}
states() {  # states NAME GLYPH_MVG [noactive]: NAME.png, NAME_hover.png, NAME_active.png
  button '#3a3a3a' "$2" "../editor/$1.png"
  button '#6a6a6a' "$2" "../editor/$1_hover.png"
  [ "${3:-}" = noactive ] || button '#1f6fd1' "$2" "../editor/$1_active.png"
}
states arrow "line 10,28 25,13 fill white stroke-width 1 polygon 29,9 17,12 26,21"
states pen "line 12,26 27,11 fill white stroke-width 1 polygon 8,30 10,23 15,28"
states rectangle "rectangle 9,11 29,27"
states text "line 10,10 28,10 line 19,10 19,29"
states blur "stroke-width 0 fill white rectangle 9,9 18,18 rectangle 19,19 28,28 fill #aaaaaa rectangle 19,9 28,18 rectangle 9,19 18,28"
states color "circle 19,14 19,8" noactive
states undo "arc 10,10 28,28 180,90 fill white stroke-width 1 polygon 6,19 14,19 10,13" noactive
states upload "line 19,29 19,11 line 11,18 19,10 line 27,18 19,10" noactive
states copy "rectangle 9,13 23,29 rectangle 15,8 29,23" noactive
states save "rectangle 9,9 29,29 stroke-width 0 fill white rectangle 13,9 25,16" noactive
states close "line 11,11 27,27 line 27,11 11,27" noactive
convert -size 40x162 xc:'#242424' -type TrueColor BMP3:../editor/management_panel.bmp
convert -size 285x40 xc:'#242424' -type TrueColor BMP3:../editor/tools_panel.bmp
# The new-version pop-up's logo: PNG resource 193, the app's lens with an arrow.
draw 48 '#1f6fd1' "$tmp/update48.png"
convert "$tmp/update48.png" -fill '#4caf50' -stroke white -strokewidth 2 \
  -draw "circle 37,37 37,27" -stroke white -strokewidth 3 -draw "line 37,31 37,42" \
  -draw "line 32,38 37,43" -draw "line 42,38 37,43" -strip ../update.png

# The recording control panel: background (PNG 214, 283x40), five 40x40 buttons in two
# states (normal and hover: restart 215/216, resume 217/219, pause 229/230, cancel
# 220/222, stop 223/224) and the progress bar: track (225, 101x40) and its 2 px wide
# first, middle and last steps (226-228). Light, so that the black clock reads well.
mkdir -p ../video
convert -size 283x40 xc:none -fill '#f0f0f0' -stroke '#9a9a9a' -draw "roundrectangle 0,0 282,39 6,6" \
  -stroke none -fill '#c8c8c8' -draw "rectangle 81,6 81,33 rectangle 198,6 198,33" -strip png32:../video/panel.png
panel_button() {  # panel_button NAME GLYPH_MVG: NAME.png and NAME_hover.png
  convert -size 40x40 xc:none -draw "$2" -strip "png32:../video/$1.png"
  convert -size 40x40 xc:none -fill '#d4d4d4' -draw "roundrectangle 2,2 37,37 6,6" -draw "$2" \
    -strip "png32:../video/$1_hover.png"
}
panel_button restart "stroke '#333333' stroke-width 3 fill none arc 11,11 29,29 200,120 stroke-width 1 fill '#333333' polygon 9,13 17,13 11,21"
panel_button resume "fill '#e53935' circle 20,20 20,11"
panel_button pause "fill '#333333' rectangle 13,11 17,29 rectangle 23,11 27,29"
panel_button cancel "stroke '#333333' stroke-width 3 line 13,13 27,27 line 27,13 13,27"
panel_button stop "stroke '#2e7d32' stroke-width 4 fill none polyline 11,21 17,27 29,13"
convert -size 101x40 xc:none -fill '#c8c8c8' -draw "rectangle 0,28 100,33" -strip png32:../video/bar.png
for step in first middle last; do
  convert -size 2x40 xc:none -fill '#1f6fd1' -draw "rectangle 0,28 1,33" -strip png32:../video/bar_$step.png
done
