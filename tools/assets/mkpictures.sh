#!/bin/bash
# Draws the show's six stand-in pictures into image/pictures/ with
# ImageMagick 6 and the DejaVu and Liberation fonts. Every random source is
# seeded and ImageMagick runs on one thread, so two runs give byte-identical
# files. Usage: tools/assets/mkpictures.sh [output directory]
set -euo pipefail

out=${1:-"$(cd "$(dirname "$0")/../.." && pwd)/image/pictures"}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Multi-threaded noise is not repeatable: keep one thread.
export MAGICK_THREAD_LIMIT=1
fonts=/usr/share/fonts/truetype
serif=$fonts/dejavu/DejaVuSerif.ttf
sans=$fonts/dejavu/DejaVuSans.ttf
sansbold=$fonts/dejavu/DejaVuSans-Bold.ttf
liberation=$fonts/liberation2/LiberationSans-Bold.ttf

# A linear congruential generator in plain integer shell arithmetic, so the
# crease layout does not depend on any tool's random numbers. rnd sets r to
# 0..999.
lcg=1
rnd() {
    lcg=$(((lcg * 1103515245 + 12345) % 2147483648))
    r=$((lcg / 65536 % 1000))
}

# creases W H SEED COUNT FILE: a height map of COUNT straight creases, each
# a tent |distance to a random line| of random depth, averaged. Lit, it
# looks like crumpled foil or paper.
creases() {
    local w=$1 h=$2 n=$4 file=$5 list="" i px py ang amp args
    lcg=$3
    convert -size "${h}x${w}" gradient:white-black -rotate 90 x.miff
    convert -size "${w}x${h}" gradient:black-white y.miff
    for ((i = 0; i < n; i++)); do
        rnd; px=$r; rnd; py=$r; rnd; ang=$r; rnd; amp=$r
        args=$(awk -v px="$px" -v py="$py" -v a="$ang" -v m="$amp" 'BEGIN {
            k = 0.35 * (0.3 + m / 1428); t = a * 6.2832 / 1000
            c = k * cos(t); s = k * sin(t)
            printf "0,%.5f,%.5f,%.5f", c, s, 0.5 - c * px / 1000 - s * py / 1000 }')
        convert y.miff x.miff -compose Mathematics -define compose:args="$args" \
            -composite -solarize 50% "crease$i.miff"
        list="$list crease$i.miff"
    done
    # shellcheck disable=SC2086
    convert $list -evaluate-sequence mean -normalize "$file"
}

# crinkles W H SEED FILE: fine wrinkles, folded smooth noise.
crinkles() {
    convert -size "$(($1 / 2))x$(($2 / 2))" xc:gray50 -seed "$3" +noise Random \
        -channel G -separate +channel -blur 0x4 -normalize -resize "$1x$2!" \
        -fx 'abs(2*u-1)' -negate "$4"
}

# save IN NAME QUALITY COMMENT [SIZE]: baseline JFIF, 3 components, 4:2:0,
# no metadata but our comment. SIZE (WxH) stores the picture squeezed to the
# power-of-two size its texture has anyway: the square it is drawn on gives
# it back its shape, and GLU then has nothing to rescale at start-up.
save() {
    convert "$1" ${5:+-resize "$5!"} -strip -colorspace sRGB -type TrueColor \
        -sampling-factor 2x2,1x1,1x1 -interlace none -quality "$3" \
        -set comment "$4" "$out/$2.jpg"
}

# Title card: one word in white serif letters, centred on black.
convert -size 256x256 xc:black -font "$serif" -pointsize 84 -fill white \
    -gravity center -annotate +0+0 'zot' hamster.png
save hamster.png hamster 50 "title card, drawn for the show"

# Glow: white centre fading to black where the disc meets the edges.
convert -size 128x128 -define gradient:extent=Circle radial-gradient:white-black glow.png
save glow.png glow 70 "glow, drawn for the show"

# Sweets bag: crumpled foil, lit from the upper left, on a plain backdrop.
W=568 H=782
creases $W $H 7 18 bagfolds.png
crinkles $W $H 12 bagcrinkles.png
convert bagfolds.png bagcrinkles.png -compose blend -define compose:args=1 -composite \
    -shade 120x35 -normalize -level 10%,95% baglight.png
# Print on the foil: magenta to orange, diagonal stripes, an oval label and
# four sweets.
convert -size ${W}x${H} gradient:'#d0106a'-'#ff8a00' \
    \( -size ${W}x${H} xc:none -stroke '#ffd23088' -strokewidth 22 \
       -draw "line -200,300 500,-400 line -200,480 700,-420 line -200,860 900,-240 line 0,900 900,0" \) \
    -composite \
    -fill '#ffe14a' -stroke '#7a1040' -strokewidth 6 -draw "ellipse 284,400 190,120 0,360" \
    -stroke none -fill '#c0104a' -font "$liberation" -pointsize 96 -gravity center -annotate -4-10 'FIZZ' \
    -fill '#5a1a8a' -font "$sansbold" -pointsize 26 -annotate +0+60 'fruit drops' \
    -fill '#3bb54a' -draw "circle 150,640 150,680" -fill '#ff3030' -draw "circle 260,670 260,712" \
    -fill '#ffffff' -draw "circle 370,640 370,678" -fill '#3a6cff' -draw "circle 450,690 450,722" \
    bagart.png
# Foil: the print under the crease lighting, plus glints on the brightest facets.
convert bagart.png baglight.png -compose HardLight -composite \
    \( baglight.png -level 70%,100% -evaluate pow 2 \) -compose Screen -composite bagfoil.png
# Outline: a body with uneven (crumpled) sides between two straight seals.
lcg=31
pts=""
for y in 70 160 250 340 430 520 610 700; do rnd; pts="$pts $((60 + r / 50)),$y"; done
for y in 700 610 520 430 340 250 160 70; do rnd; pts="$pts $((508 - r / 50)),$y"; done
convert -size ${W}x${H} xc:black -fill white -draw "polygon $pts" \
    -draw "rectangle 54,22 514,80 rectangle 54,690 514,752" -blur 0x1.5 bagmask.png
# Seals: bands of fine vertical crimp ridges.
convert -size 60x4 gradient:'#ffffffa0'-'#000000a0' -rotate 90 tooth.png
convert -size ${W}x60 tile:tooth.png band.png
convert -size ${W}x${H} xc:none band.png -geometry +0+22 -composite \
    band.png -geometry +0+692 -composite bagseals.png
convert bagfoil.png bagseals.png -compose Overlay -composite \
    bagmask.png -alpha off -compose CopyOpacity -composite bagcut.png
convert -size ${W}x${H} gradient:'#eeeae4'-'#d8d2c8' \
    \( bagmask.png -blur 0x16 -negate +level 50%,100% -geometry +10+14 \) -compose Multiply -composite \
    bagcut.png -compose Over -composite bag.png
save bag.png bag 75 "sweets bag, drawn for the show" 256x256

# Static: three independently seeded noise channels in 2x2 pixel cells,
# one word above the centre.
convert \( -seed 5 -size 256x256 xc:gray50 +noise Random -channel R -separate \) \
    \( -seed 6 -size 256x256 xc:gray50 +noise Random -channel R -separate \) \
    \( -seed 7 -size 256x256 xc:gray50 +noise Random -channel R -separate \) \
    +channel -combine -scale 200% \
    -fill '#f4f0e6' -stroke '#00000060' -strokewidth 2 -font "$sansbold" -pointsize 76 \
    -gravity center -annotate +0-70 'HUSH' noise.png
save noise.png noise 30 "static, drawn for the show"

# Water bottle, cut out on black.
W=388 H=976
convert -size ${W}x${H} xc:black -fill white \
    -draw "roundrectangle 139,18 249,112 10,10" \
    -draw "rectangle 150,108 238,170" \
    -draw "path 'M 150,165 C 150,230 54,250 54,330 L 54,920 C 54,950 70,958 100,958 L 288,958 C 318,958 334,950 334,920 L 334,330 C 334,250 238,230 238,165 Z'" \
    -blur 0x1 bottlemask.png
# Clear plastic against black, across the width (xq = -1..1 over the body):
# bright rims, a dim middle, a sharp highlight left of centre, a softer one
# on the right.
convert -size ${W}x1 xc: -fx 'xq=(i-194)/140; aq=abs(xq); aq>1?0:0.16+0.55*pow(aq,6)+0.9*exp(-pow((xq+0.45)/0.07,2))+0.35*exp(-pow((xq-0.6)/0.12,2))' \
    -scale "${W}x${H}!" bottleshade.png
# Grip rings: thin bright and dark bands across the body.
rings=""
for y in 360 384 408 432 800 824 848 872; do
    rings="$rings fill gray80 rectangle 0,$y $W,$((y + 4)) fill gray25 rectangle 0,$((y + 5)) $W,$((y + 8))"
done
convert -size ${W}x${H} xc:gray50 -draw "$rings" -blur 0x1.2 bottlerings.png
convert bottleshade.png bottlerings.png -compose Overlay -composite \
    -fill '#9ad8ff' -tint 100 bottleplastic.png
# Label and ribbed cap, painted opaque, shaded as a cylinder, then laid
# over the plastic through their own mask.
ribs=""
for x in $(seq 145 8 241); do ribs="$ribs rectangle $x,24 $((x + 3)),108"; done
convert -size ${W}x${H} xc:black -fill '#1450c8' -draw "rectangle 54,480 334,730" \
    -fill '#6aa8ff' -draw "rectangle 54,480 334,492 rectangle 54,718 334,730" \
    -fill white -font "$sansbold" -pointsize 64 -gravity north -annotate +0+540 'BROOK' \
    -font "$sans" -pointsize 26 -annotate +0+626 'still water' \
    -pointsize 18 -annotate +0+680 '1.5 L' \
    -fill '#2a64d8' -draw "roundrectangle 139,18 249,112 10,10" \
    -fill '#103c9c' -draw "$ribs" bottleart.png
convert -size ${W}x${H} xc:black -fill white \
    -draw "rectangle 54,480 334,730 roundrectangle 139,18 249,112 10,10" bottleartmask.png
convert -size ${W}x1 xc: -fx 'xq=(i-194)/140; abs(xq)>1?0:0.35+0.65*sqrt(1-xq*xq)+0.5*exp(-pow((xq+0.45)/0.07,2))' \
    -scale "${W}x${H}!" labelshade.png
convert bottleart.png labelshade.png -compose Multiply -composite bottleart.png
convert bottleplastic.png bottleart.png bottleartmask.png -compose Over -composite \
    bottlemask.png -compose Multiply -composite bottle.png
save bottle.png bottle 97 "water bottle, drawn for the show" 256x512

# Snapshot: a pink crumpled lump on black, captioned at the lower right.
W=288 H=214
creases $W $H 23 14 snapfolds.png
crinkles $W $H 24 snapcrinkles.png
convert snapfolds.png snapcrinkles.png -compose blend -define compose:args=2 -composite \
    -shade 110x35 -normalize snaplight.png
# Outline: an ellipse pushed about by smooth noise.
convert -size ${W}x${H} xc:black -fill white -draw "ellipse 140,104 92,66 0,360" \
    \( -size ${W}x${H} xc:gray50 -seed 25 +noise Random -blur 0x10 -normalize \) \
    -define compose:args=18x18 -compose Displace -composite -blur 0x1 snapmask.png
convert -size ${W}x${H} xc:'#f06aa8' snaplight.png -compose HardLight -composite \
    \( snaplight.png -level 75%,100% \) -compose Screen -composite \
    snapmask.png -compose Multiply -composite \
    -fill '#d8d8d8' -font "$sans" -pointsize 10 -gravity southeast -annotate +8+6 'fig. 3' snapshot.png
save snapshot.png snapshot 80 "snapshot, drawn for the show" 256x256
