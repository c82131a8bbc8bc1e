#!/usr/bin/env bash
# End-to-end check of pximg against the reference tools: every supported format
# written by pximg is read back by ImageMagick, pngcheck or djpeg.
# Usage: pximg_test.sh PATH_TO_PXIMG. Exit 77 (skipped) when a tool is missing.
set -u
pximg=$1
for tool in convert compare identify pngcheck djpeg; do
  command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool not available"; exit 77; }
done
convert=convert; [ -x /usr/bin/convert ] && convert=/usr/bin/convert
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
failures=0; checks=0
check() {  # check DESCRIPTION COMMAND...
  checks=$((checks + 1))
  if "${@:2}" >/dev/null 2>&1; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
same_pixels() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }

$convert -size 40x30 gradient:orange-navy -fill white -draw 'rectangle 4,4 12,12' -depth 8 PNG24:"$dir/src.png"
$convert "$dir/src.png" \( -size 40x30 gradient:white-black \) -alpha off -compose CopyOpacity -composite PNG32:"$dir/alpha.png"

check "png -> png"            "$pximg" convert "$dir/src.png" "$dir/out.png" png
check "pngcheck"              pngcheck -q "$dir/out.png"
check "png pixels"            same_pixels "$dir/src.png" "$dir/out.png"
check "colour type 2"         sh -c "pngcheck -v '$dir/out.png' | grep -q 'RGB, non-interlaced'"
check "rgba -> png"           "$pximg" convert "$dir/alpha.png" "$dir/outa.png" png
check "colour type 6"         sh -c "pngcheck -v '$dir/outa.png' | grep -q 'RGB+alpha'"
check "rgba pixels"           same_pixels "$dir/alpha.png" "$dir/outa.png"
check "interlaced png"        "$pximg" convert "$dir/src.png" "$dir/adam7.png" png -o 1
check "pngcheck interlaced"   sh -c "pngcheck -v '$dir/adam7.png' | grep -q ', interlaced'"
check "png -> bmp"            "$pximg" convert "$dir/src.png" "$dir/out.bmp" bmp
check "bmp pixels"            same_pixels "$dir/src.png" "$dir/out.bmp"
check "png -> ico"            "$pximg" convert "$dir/alpha.png" "$dir/out.ico" ico
check "ico pixels"            same_pixels "$dir/alpha.png" "$dir/out.ico"
check "png -> jpg q60"        "$pximg" convert "$dir/src.png" "$dir/out.jpg" jpg -q 60
check "djpeg size"            sh -c "djpeg -pnm '$dir/out.jpg' | head -2 | grep -q '^40 30$'"
check "jpeg quality 60"       sh -c "[ \"\$(identify -format %Q '$dir/out.jpg')\" = 60 ]"
check "jpeg psnr"             sh -c "psnr=\$(compare -metric PSNR '$dir/src.png' '$dir/out.jpg' null: 2>&1); awk -v p=\"\$psnr\" 'BEGIN{exit !(p > 28)}'"
check "jpg -> png"            "$pximg" convert "$dir/out.jpg" "$dir/back.png" png
check "info"                  sh -c "'$pximg' info '$dir/out.jpg' | grep -q '^40x30 bpp=24 alpha=0 type=3 dpi=96,96'"
# The formats without a signature of their own and the JPEG-2000 family.
$convert "$dir/src.png" -colors 64 -type Palette BMP3:"$dir/pal.bmp"
$convert "$dir/src.png" -colorspace Gray -depth 8 "$dir/grey.pgm"
$convert "$dir/src.png" -monochrome -type Bilevel BMP3:"$dir/mono.bmp"
for option in 0 1 2; do
  check "gif option $option"    "$pximg" convert "$dir/pal.bmp" "$dir/out$option.gif" gif -o $option
  check "gif $option pixels"    same_pixels "$dir/pal.bmp" "$dir/out$option.gif"
  if command -v giftopnm >/dev/null 2>&1; then
    check "giftopnm $option"    sh -c "giftopnm '$dir/out$option.gif' > '$dir/gif$option.ppm' && [ \"\$(compare -metric AE '$dir/pal.bmp' '$dir/gif$option.ppm' null: 2>&1)\" = 0 ]"
  fi
done
check "gif mosaic"            "$pximg" convert "$dir/src.png" "$dir/mosaic.gif" gif
check "mosaic last frame"     sh -c "$convert '$dir/mosaic.gif' -coalesce -delete 0--2 '$dir/mosaic.png' && [ \"\$(compare -metric AE '$dir/src.png' '$dir/mosaic.png' null: 2>&1)\" = 0 ]"
check "gif animation"         "$pximg" anim "$dir/anim.gif" 3 2 "$dir/pal.bmp" "$dir/grey.pgm"
check "animation frames"      sh -c "[ \"\$(identify '$dir/anim.gif' | wc -l)\" = 2 ]"
check "second frame"          sh -c "'$pximg' info '$dir/anim.gif' -f 1 | grep -q 'type=2 .*frames=2'"
for format in pcx ras pnm; do
  check "$format"             "$pximg" convert "$dir/src.png" "$dir/out.$format" $format
  check "$format pixels"      same_pixels "$dir/src.png" "$dir/out.$format"
done
# ImageMagick keeps a bottom-up TGA's rows in file order unless told to orient.
check "tga"                   "$pximg" convert "$dir/src.png" "$dir/out.tga" tga
check "tga pixels"            sh -c "$convert '$dir/out.tga' -auto-orient '$dir/tga.png' && [ \"\$(compare -metric AE '$dir/src.png' '$dir/tga.png' null: 2>&1)\" = 0 ]"
check "tga 8-bit"             "$pximg" convert "$dir/pal.bmp" "$dir/pal.tga" tga
check "tga 8-bit pixels"      sh -c "$convert '$dir/pal.tga' -auto-orient '$dir/tga8.png' && [ \"\$(compare -metric AE '$dir/pal.bmp' '$dir/tga8.png' null: 2>&1)\" = 0 ]"
check "wbmp"                  "$pximg" convert "$dir/mono.bmp" "$dir/out.wbmp" wbmp
check "wbmp pixels"           same_pixels "$dir/mono.bmp" "$dir/out.wbmp"
check "pgx"                   "$pximg" convert "$dir/grey.pgm" "$dir/out.pgx" pgx
check "pgx pixels"            same_pixels "$dir/grey.pgm" "$dir/out.pgx"
check "jp2 lossless"          "$pximg" convert "$dir/src.png" "$dir/out.jp2" jp2 -q 100
check "jp2 pixels"            same_pixels "$dir/src.png" "$dir/out.jp2"
check "j2k lossless"          "$pximg" convert "$dir/src.png" "$dir/out.j2k" j2k -q 100
check "j2k pixels"            same_pixels "$dir/src.png" "$dir/out.j2k"
check "jp2 code 9"            sh -c "'$pximg' info '$dir/out.jp2' | grep -q 'type=9'"
check "not an image fails"    sh -c "echo hello > '$dir/t.txt'; ! '$pximg' info '$dir/t.txt'"
echo "pximg: $((checks - failures)) passed, $failures failed"
[ $failures = 0 ]
