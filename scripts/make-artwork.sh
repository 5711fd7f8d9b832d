#!/usr/bin/env bash
# Draws Merrowby's artwork into resources/: the About box title picture, the program icon in
# the sizes a desktop's icon theme asks for, the three page-tab icons and the button glyphs.
# Every picture the program shows also gets a NAME@2x.png twice its size, which Qt picks on
# screens scaled to 200 %. The PNGs are kept in the repository;
# run this only to redraw them (needs ImageMagick and the URW base fonts that Debian's
# ghostscript brings along).
#
# Small pictures are drawn four times larger and scaled down, which gives smooth edges; the
# 2x versions are scaled down from the same drawing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../resources"

URW=/usr/share/fonts/opentype/urw-base35
DEJAVU=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
for f in "$URW"/{Z003-MediumItalic,C059-Italic,C059-Bold,URWGothic-Demi}.otf "$DEJAVU"; do
  [[ -f $f ]] || { echo "make-artwork: missing font $f" >&2; exit 1; }
done

# Colours shared by every picture.
INK='#33383f'       # outlines
PAPER='#fdfcf6'
BLUE='#2a68c4'
BLUE_DARK='#1b4a91'
LIGHT_BLUE='#b9d3f5'
GREEN='#2f9e44'
RED='#d33a2c'
GOLD='#e6a92a'
GREY='#b8c0c9'

# glyph NAME SIZE DRAW...: draws on a 4×SIZE transparent canvas, scales it to SIZE×SIZE
# for NAME.png and to 2×SIZE for NAME@2x.png.
glyph() {
  local name=$1 size=$2
  shift 2
  local big=$((size * 4)) double=$((size * 2))
  convert -size ${big}x${big} xc:none -strokewidth 5 -stroke "$INK" "$@" \
    \( +clone -filter Lanczos -resize ${double}x${double} -strip -write "PNG32:$name@2x.png" +delete \) \
    -filter Lanczos -resize ${size}x${size} -strip "PNG32:$name.png"
}

# gear CX CY R_OUT R_IN TEETH: polygon points of a gear wheel.
gear() {
  awk -v cx="$1" -v cy="$2" -v ro="$3" -v ri="$4" -v n="$5" 'BEGIN {
    pi = atan2(0, -1); s = "polygon"
    for (i = 0; i < n; i++) {
      a = 2 * pi * i / n; w = pi / n
      s = s sprintf(" %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f",
        cx + ri * cos(a - w * 0.9), cy + ri * sin(a - w * 0.9),
        cx + ro * cos(a - w * 0.45), cy + ro * sin(a - w * 0.45),
        cx + ro * cos(a + w * 0.45), cy + ro * sin(a + w * 0.45),
        cx + ri * cos(a + w * 0.9), cy + ri * sin(a + w * 0.9))
    }
    print s }'
}

# --- About box title: 210 × 240 on black, which the About box lets its gradient show through;
# about_title SCALE FILE draws it SCALE times larger, every length multiplied by SCALE.
about_title() {
  local k=$1
  # x LENGTHS: the text with every number in it multiplied by the scale.
  x() { perl -pe "s/(\\d+(?:\\.\\d+)?)/\$1*$k/ge" <<<"$1"; }
  convert -size "$(x 210x240)" xc:black \
    \( -size "$(x 210x240)" xc:none \
       -fill '#f3ead2' -stroke '#c9a74a' -strokewidth "$(x 2)" -draw "$(x 'roundrectangle 58,14 152,74 4,4')" \
       -fill none -draw "$(x 'polyline 59,16 105,50 151,16')" \
       -strokewidth "$(x 1.5)" -draw "$(x 'line 59,73 95,43')" -draw "$(x 'line 151,73 115,43')" \
       -stroke none -fill '#c8102e' \
       -draw "$(x 'translate 105,50 circle -5,-3 -5,2 circle 5,-3 5,2 polygon -10,-1 10,-1 0,10')" \
    \) -composite \
    \( -size "$(x 210x76)" xc:none -font "$URW/Z003-MediumItalic.otf" -pointsize "$(x 52)" -gravity center \
       -fill '#ffd86b' -annotate +0+0 'Merrowby' +gravity \) -geometry "$(x +0+84)" -composite \
    -stroke '#c9a74a' -strokewidth "$(x 1)" -draw "$(x 'line 36,164 174,164')" \
    -stroke none -fill '#ffd86b' -draw "$(x 'polygon 105,160 109,164 105,168 101,164')" \
    -gravity north -font "$URW/C059-Italic.otf" -pointsize "$(x 12)" -fill '#cfe0ff' \
    -annotate "$(x +0+172)" 'the greeting card organiser' +gravity \
    -fill none -stroke '#ffd86b' -strokewidth "$(x 1.5)" -draw "$(x 'circle 60,220 60,210')" \
    -stroke none -fill '#ffd86b' -font "$URW/C059-Bold.otf" -pointsize "$(x 14)" \
    -gravity center -annotate "$(x -45+100)" 'B' +gravity \
    -fill white -font "$URW/URWGothic-Demi.otf" -pointsize "$(x 14)" \
    -gravity northwest -annotate "$(x +78+212)" 'B R A N T I X' +gravity \
    -colors 256 -strip "PNG8:$2"
}
about_title 1 about_title.png
about_title 2 about_title@2x.png

# --- Program icon: a sealed envelope on a blue tile, drawn at 1024 pixels and scaled to the
# icon theme's sizes: merrowby.png is the 256 one, merrowby_N.png the others (the 32 one from
# the 256 one). The 2x versions of the two the program shows are aliases in resources.qrc.
master=$(mktemp --suffix=.miff)
trap 'rm -f "$master"' EXIT
convert -size 1024x1024 xc:none \
  \( -size 944x944 gradient:'#0b1f4d'-'#2f74d6' \
     \( -size 944x944 xc:black -fill white -draw "roundrectangle 0,0 943,943 180,180" \) \
     -alpha off -compose CopyOpacity -composite \) -geometry +40+40 -compose Over -composite \
  -fill '#f6efd9' -stroke '#c9a74a' -strokewidth 28 -draw "roundrectangle 170,270 854,760 40,40" \
  -fill none -draw "polyline 180,285 512,540 844,285" \
  -strokewidth 22 -draw "line 182,748 430,520" -draw "line 842,748 594,520" \
  -stroke none -fill '#c8102e' \
  -draw "translate 512,540 circle -44,-26 -44,16 circle 44,-26 44,16 polygon -84,-8 84,-8 0,92" \
  "MIFF:$master"
convert "$master" -filter Lanczos -resize 256x256 -strip PNG32:merrowby.png
convert merrowby.png -filter Lanczos -resize 32x32 -strip PNG32:merrowby_32.png
for size in 16 24 48 64 128 512; do
  convert "$master" -filter Lanczos -resize ${size}x${size} -strip "PNG32:merrowby_$size.png"
done

# --- Page-tab icons, 32 × 32.
glyph tab_address 32 \
  -fill "$BLUE" -draw "roundrectangle 22,8 112,120 10,10" \
  -fill "$BLUE_DARK" -draw "roundrectangle 22,8 42,120 6,6" \
  -stroke none -fill "$PAPER" -draw "circle 77,48 77,32" \
  -draw "ellipse 77,100 30,22 180,360" \
  -fill "$GREY" -stroke "$INK" -strokewidth 4 \
  -draw "roundrectangle 12,26 32,36 4,4" -draw "roundrectangle 12,58 32,68 4,4" \
  -draw "roundrectangle 12,90 32,100 4,4"

glyph tab_labels 32 \
  -fill "$PAPER" -draw "rectangle 18,4 110,124" \
  -strokewidth 3 -fill "$LIGHT_BLUE" \
  -draw "roundrectangle 28,14 60,38 5,5" -draw "roundrectangle 68,14 100,38 5,5" \
  -draw "roundrectangle 28,48 60,72 5,5" -draw "roundrectangle 28,82 60,106 5,5" \
  -draw "roundrectangle 68,82 100,106 5,5" \
  -fill "$GOLD" -draw "roundrectangle 68,48 100,72 5,5" \
  -stroke none -fill "$RED" \
  -draw "translate 84,61 circle -5,-3 -5,2 circle 5,-3 5,2 polygon -10,-1 10,-1 0,10"

glyph tab_setup 32 \
  -fill "$GREY" -strokewidth 5 -draw "$(gear 64 64 58 44 10)" \
  -fill "$PAPER" -draw "circle 64,64 64,84"

# --- Button glyphs, 24 × 24.
glyph ok 24 -fill none -stroke "$GREEN" -strokewidth 14 -draw "stroke-linecap round stroke-linejoin round polyline 16,52 38,74 80,22"

glyph cancel 24 -fill none -stroke "$RED" -strokewidth 14 \
  -draw "stroke-linecap round line 22,22 74,74" -draw "stroke-linecap round line 74,22 22,74"

glyph new 24 \
  -fill "$PAPER" -draw "polygon 16,6 56,6 76,26 76,90 16,90" \
  -fill "$GREY" -draw "polygon 56,6 56,26 76,26" \
  -fill "$GREEN" -stroke none -draw "circle 68,70 68,46" \
  -stroke white -strokewidth 8 -draw "line 68,56 68,84" -draw "line 54,70 82,70"

glyph delete 24 \
  -fill "$GREY" -draw "polygon 24,30 72,30 67,90 29,90" \
  -draw "roundrectangle 14,18 82,30 4,4" -draw "roundrectangle 36,8 60,18 3,3" \
  -strokewidth 4 -draw "line 38,40 39,80" -draw "line 48,40 48,80" -draw "line 58,40 57,80"

glyph print 24 \
  -fill "$PAPER" -draw "rectangle 24,6 72,40" \
  -fill "$GREY" -draw "roundrectangle 8,36 88,74 8,8" \
  -fill "$PAPER" -draw "rectangle 24,58 72,92" \
  -strokewidth 3 -draw "line 32,70 64,70" -draw "line 32,80 58,80" \
  -stroke none -fill "$GREEN" -draw "circle 76,48 76,53"

glyph print_labels 24 \
  -fill "$PAPER" -draw "rectangle 14,4 82,92" \
  -strokewidth 3 -fill "$LIGHT_BLUE" \
  -draw "roundrectangle 22,12 46,30 4,4" -draw "roundrectangle 50,12 74,30 4,4" \
  -draw "roundrectangle 22,38 46,56 4,4" -draw "roundrectangle 22,64 46,82 4,4" \
  -draw "roundrectangle 50,64 74,82 4,4" \
  -fill "$GOLD" -draw "roundrectangle 50,38 74,56 4,4"

glyph print_reminders 24 \
  -fill "$PAPER" -draw "roundrectangle 10,14 86,90 6,6" \
  -fill "$RED" -draw "roundrectangle 10,14 86,36 6,6" \
  -fill "$GREY" -strokewidth 4 -draw "roundrectangle 26,6 34,22 3,3" -draw "roundrectangle 62,6 70,22 3,3" \
  -stroke none -fill "$INK" \
  -draw "rectangle 22,46 32,54" -draw "rectangle 43,46 53,54" -draw "rectangle 64,46 74,54" \
  -draw "rectangle 22,62 32,70" -draw "rectangle 43,62 53,70" \
  -draw "rectangle 22,76 32,84" -draw "rectangle 43,76 53,84" -draw "rectangle 64,76 74,84" \
  -fill "$GOLD" -draw "polygon 69,58 72,64 78,64 73,68 75,74 69,70 63,74 65,68 60,64 66,64"

# A disk drive with an arrow: into it for a backup, out of it for a restore.
drive=(-fill "$GREY" -draw "roundrectangle 8,60 88,90 6,6" -stroke none -fill "$GREEN" -draw "circle 74,75 74,80")
glyph backup 24 "${drive[@]}" \
  -stroke "$INK" -strokewidth 5 -fill "$BLUE" -draw "polygon 38,6 58,6 58,30 72,30 48,54 24,30 38,30"
glyph restore 24 "${drive[@]}" \
  -stroke "$INK" -strokewidth 5 -fill "$GOLD" -draw "polygon 38,54 58,54 58,30 72,30 48,6 24,30 38,30"

# The clockwise open-circle arrow of the DejaVu font, in blue with a dark rim.
glyph reindex 24 \
  -fill "$BLUE" -stroke "$BLUE_DARK" -strokewidth 2 -font "$DEJAVU" -pointsize 118 \
  -gravity center -annotate +0+4 $'\u27f3' +gravity

glyph import 24 \
  -fill "$PAPER" -draw "polygon 36,6 70,6 88,24 88,90 36,90" \
  -fill "$GREY" -draw "polygon 70,6 70,24 88,24" \
  -strokewidth 3 -draw "line 48,40 78,40" -draw "line 48,52 78,52" -draw "line 48,76 78,76" \
  -strokewidth 5 -fill "$GREEN" -draw "polygon 4,56 30,56 30,44 52,64 30,84 30,72 4,72"

# The import page with its arrow leaving on the right.
glyph export 24 \
  -fill "$PAPER" -draw "polygon 8,6 42,6 60,24 60,90 8,90" \
  -fill "$GREY" -draw "polygon 42,6 42,24 60,24" \
  -strokewidth 3 -draw "line 20,40 48,40" -draw "line 20,52 48,52" -draw "line 20,76 48,76" \
  -strokewidth 5 -fill "$BLUE" -draw "polygon 44,56 70,56 70,44 92,64 70,84 70,72 44,72"

# A calendar page with the export's arrow leaving on the right.
glyph export_calendar 24 \
  -fill "$PAPER" -draw "roundrectangle 6,14 66,90 6,6" \
  -fill "$RED" -draw "roundrectangle 6,14 66,34 6,6" \
  -fill "$GREY" -strokewidth 4 -draw "roundrectangle 18,6 26,22 3,3" -draw "roundrectangle 46,6 54,22 3,3" \
  -stroke none -fill "$INK" \
  -draw "rectangle 16,44 26,52" -draw "rectangle 32,44 42,52" \
  -draw "rectangle 16,60 26,68" -draw "rectangle 16,76 26,84" -draw "rectangle 32,76 42,84" \
  -stroke "$INK" -strokewidth 5 -fill "$BLUE" -draw "polygon 44,56 70,56 70,44 92,64 70,84 70,72 44,72"

glyph label_def 24 \
  -fill "$GOLD" -draw "polygon 8,20 62,20 88,46 62,72 8,72" \
  -fill "$PAPER" -draw "circle 66,46 66,53" \
  -fill "$LIGHT_BLUE" -draw "rectangle 4,78 92,94" \
  -strokewidth 3 -draw "line 18,78 18,86" -draw "line 32,78 32,88" -draw "line 46,78 46,86" \
  -draw "line 60,78 60,88" -draw "line 74,78 74,86" \
  -stroke none -fill "$INK" -draw "rectangle 18,36 48,40" -draw "rectangle 18,48 42,52"

glyph font 24 \
  -stroke none -fill "$INK" -font "$URW/C059-Bold.otf" -pointsize 84 -draw "text 2,80 'A'" \
  -fill "$BLUE" -pointsize 60 -draw "text 56,86 'a'"

glyph select 24 \
  -strokewidth 3 -fill "$GREY" -draw "rectangle 6,10 72,26" -draw "rectangle 6,66 72,82" \
  -fill "$BLUE" -draw "rectangle 6,38 72,54" \
  -fill white -stroke "$INK" -strokewidth 5 \
  -draw "polygon 52,34 52,90 64,78 72,94 80,90 72,74 88,74"

echo "make-artwork: pictures written to $(pwd)"
