#!/usr/bin/env bash
# Draws the desktop program's pictures (icons, splash, preferences picture)
# into app/resources/ with ImageMagick. The PNGs are committed; run this only
# to change them.
set -euo pipefail
cd "$(dirname "$0")/../app/resources"

# The program's mark: a quill over a magnifier lens on a blue disc.
mark() {  # size background-colour out
  local s=$1 bg=$2 out=$3
  convert -size "${s}x${s}" xc:none \
    -fill "$bg" -stroke '#1b3a6b' -strokewidth $((s / 16 + 1)) \
    -draw "circle $((s / 2)),$((s / 2)) $((s / 2)),$((s / 16 + 1))" \
    -fill none -stroke white -strokewidth $((s / 10 + 1)) \
    -draw "circle $((s * 9 / 20)),$((s * 9 / 20)) $((s * 9 / 20)),$((s * 9 / 20 - s / 5))" \
    -draw "line $((s * 11 / 20)),$((s * 11 / 20)) $((s * 3 / 4)),$((s * 3 / 4))" \
    "$out"
}

mark 16 '#3f7fd9' idle.png
mark 16 '#e0502a' running.png
mark 32 '#3f7fd9' quillex.png
mark 128 '#3f7fd9' quillex-128.png

# Tab icons, 16 x 16.
convert -size 16x16 xc:none -fill '#3f7fd9' -stroke '#1b3a6b' \
  -draw "polygon 8,1 15,8 13,8 13,15 3,15 3,8 1,8" -fill white -stroke none \
  -draw "rectangle 6,10 10,15" tab_home.png
convert -size 16x16 xc:none -fill none -stroke '#1b3a6b' -strokewidth 2 \
  -draw "circle 6,6 6,2" -strokewidth 3 -draw "line 9,9 14,14" tab_search.png
convert -size 16x16 xc:none -fill '#ffd800' -stroke '#b07000' \
  -draw "polygon 8,1 10,6 15,6 11,9 13,15 8,11 3,15 5,9 1,6 6,6" tab_results.png
convert -size 16x16 xc:none -fill none -stroke '#2a8a3a' -strokewidth 2 \
  -draw "roundrectangle 1,5 9,11 3,3" -draw "roundrectangle 7,5 15,11 3,3" tab_links.png

# The home-page button: a small house on a quill blue. (The Preferences
# own-name button draws its name badge in code.)
convert -size 20x20 xc:none -fill '#ffffff' -stroke '#1b3a6b' \
  -draw "polygon 10,2 18,10 16,10 16,18 4,18 4,10 2,10" -fill '#e0502a' -stroke none \
  -draw "rectangle 8,12 12,18" home.png

# The preferences picture: the mark over a gradient.
convert -size 64x96 gradient:'#dfe9f7'-'#3f7fd9' \( quillex.png -resize 48x48 \) \
  -gravity center -composite prefs.png

# The splash picture.
convert -size 360x200 gradient:'#1b3a6b'-'#3f7fd9' \
  \( quillex-128.png \) -gravity west -geometry +20+0 -composite \
  -gravity east -fill white -pointsize 34 -annotate +24-18 'QuillEx' \
  -pointsize 14 -annotate +24+22 'focused web search' \
  -pointsize 11 -annotate +24+70 'Version 1.0.2.0' splash.png
