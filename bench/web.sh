#!/bin/sh
# The web build's benchmarks: builds the site (web/build.sh), serves it on
# a free port, and runs bench/web.js in Debian's Chromium (headless,
# SwiftShader), then in Firefox ESR and in WebKitGTK (each in a window,
# llvmpipe): in each,
# RUNS page starts (default 3) for the start-up times, and one whole show
# for the frame rates and the clock figures, each section's rate against
# its floor (bench/webfloor.js). Firefox's and WebKit's windows and sound
# go to a private virtual X server (1280x1024) and a private audio server
# with a null sink. Prints a table per browser; never fails because the
# machine is slow.
#
#   bench/web.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
. tools/packages.sh
need chromium firefox-esr xdotool $WEBKIT_PACKAGES xvfb xauth x11-utils pulseaudio pulseaudio-utils
command -v npm >/dev/null || need nodejs npm
sh web/build.sh >&2
(cd tests/web && [ -d node_modules/puppeteer-core ] || npm ci --no-audit --no-fund >/dev/null)

. tools/headless.sh
server=
own=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
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
