#!/bin/sh
# Renders the README's strip of stills into docs/stills/: the tube opening
# and one moment of each later section of the timeline, each a small JPEG
# with its clock value (thousandths of a beat) and time under it. Uses
# demorender from $STILLS_BUILD (default build-release/host, built here when
# missing) on the X display in DISPLAY, or on a virtual one of its own.
set -eu
cd "$(dirname "$0")/../.."
build=${STILLS_BUILD:-build-release/host}
out=docs/stills
. tools/packages.sh
need imagemagick fonts-dejavu-core xvfb x11-utils
# Debian's ImageMagick, whatever else is called convert on the PATH.
convert=/usr/bin/convert

if [ ! -x "$build/demorender" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -Wno-dev >/dev/null
    cmake --build "$build" --target demorender -j2 >/dev/null
fi
if [ -z "${DISPLAY:-}" ]; then
    . tools/headless.sh
    startxvfb
    trap 'kill "$XPID" 2>/dev/null || true' EXIT
fi

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -z "${XPID:-}" ] || kill "$XPID" 2>/dev/null || true' EXIT
mkdir -p "$out"
rm -f "$out"/*.jpg
# Clock values: the tube opening, the bag and petals, a photo, the noise
# and long petals, the bottle and glow, the closing spin.
for t in 4000 24000 56600 90000 118000 150000; do
    "$build/demorender" --at "$t" --png "$work/$t.png" 2>"$work/err" ||
        { cat "$work/err"; exit 1; }
    seconds=$(awk -v t="$t" 'BEGIN { printf "%.1f", t * 60 / 97 / 1000 }')
    "$convert" "$work/$t.png" -resize 240x180 -background black -gravity south -splice 0x22 \
        -font DejaVu-Sans -pointsize 13 -fill white -annotate +0+4 "clock $t  ($seconds s)" \
        -strip -quality 82 "$out/$(printf '%06d' "$t").jpg"
done
ls "$out"
