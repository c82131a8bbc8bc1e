#!/usr/bin/env bash
# Draws the region editor's mode badges, shown beside the cursor before a selection
# exists: a pencil for editor mode (PNG 191) and a camera for video mode (PNG 234).
# The results are committed; run this again only to change the artwork.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 20x20 xc:none \
  -stroke '#202020' -strokewidth 1 -fill '#f2b630' -draw "polygon 4,13 13,4 16,7 7,16" \
  -fill '#e86a6a' -draw "polygon 13,4 15,2 18,5 16,7" \
  -fill '#f4dcb0' -draw "polygon 4,13 7,16 2,18" -strip ../editor_badge.png
convert -size 22x18 xc:none \
  -stroke '#202020' -strokewidth 1 -fill '#1f6fd1' -draw "roundrectangle 1,4 14,15 2,2" \
  -fill '#1f6fd1' -draw "polygon 15,8 20,5 20,14 15,11" \
  -fill white -stroke none -draw "circle 5,9 5,7" -strip ../video_badge.png
