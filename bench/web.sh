#!/bin/sh
# The web build's benchmarks: builds the site (web/build.sh), serves it on
# a free port, and runs bench/web.js in Debian's Chromium (headless,
# SwiftShader), then in Firefox ESR and in WebKitGTK (each in a window,
# llvmpipe): in each,
# RUNS page starts (default 3) for the start-up times, and one whole show
# for the frame rates and the clock figures, each section's rate against
# its floor (bench/webfloor.js). Firefox's and WebKit's windows and sound
# go to a private virtual X server (1280x1024) and a private audio server
# with a null sink. Then the live A/V rig (tests/av/rig.sh) on a 640x480
# display of its own: mpv's reference figure, and each browser in a window
# against it (tests/web/live.js), the picture's offset from the sound
# (goal: within 15 ms). Prints a table per browser and the rig's lines;
# never fails because the machine is slow.
#
#   bench/web.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
. tools/packages.sh
need chromium firefox-esr xdotool mpv ffmpeg cmake g++ $WEBKIT_PACKAGES xvfb xauth x11-utils pulseaudio pulseaudio-utils
command -v npm >/dev/null || need nodejs npm
sh web/build.sh >&2
cmake -S . -B build-webref -DBUILD_TESTING=OFF >/dev/null
cmake --build build-webref -j2 --target demorender >/dev/null
(cd tests/web && [ -d node_modules/puppeteer-core ] || npm ci --no-audit --no-fund >/dev/null)

. tools/headless.sh
server=
own=
XPID=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    [ -z "$XPID" ] || kill "$XPID" 2>/dev/null || true
    [ -z "$own" ] || stopheadless
}
trap cleanup EXIT
startheadless 1280x1024
own=yes
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server -b 127.0.0.1 -d build-web/site "$port" >/dev/null 2>&1 &
server=$!
until python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null; do
    sleep 0.2
done
for browser in chromium firefox webkit; do
    WEB_BROWSER=$browser SITE_URL="http://127.0.0.1:$port/" node bench/web.js build-web/site "${1:-3}"
done
big=$DISPLAY
startxvfb
sh tests/av/rig.sh clip build-webref/demorender build-webref/rigclip.mp4
reference=$(sh tests/av/rig.sh reference build-webref/rigclip.mp4 2>/dev/null) || true
echo "live rig: mpv: $reference (flashes, ms from kick to flash)"
for browser in chromium firefox webkit; do
    WEB_BROWSER=$browser WEB_WINDOW=1 WEB_DISPLAY=$DISPLAY RIG_REFERENCE=$reference SITE_URL="http://127.0.0.1:$port/" \
        node tests/web/live.js 2>/dev/null | grep '^live rig' || true
done
DISPLAY=$big
