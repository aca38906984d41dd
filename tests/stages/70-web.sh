#!/bin/sh
# The show in a browser: builds the site (web/build.sh) and, from the same
# sources, the native demorender in build-webref; serves the site on a free
# port and drives Debian's Chromium headless through playwright-core
# (tests/web, installed by npm from its lock file): single frames against
# the native ones, the start gesture, the clock, Escape, leaving
# fullscreen, the failure messages, then the whole show once.
#
# Run by test.sh --full with its X and audio servers; run alone, it starts
# its own (demorender needs X).
set -eu
cd "$(dirname "$0")/../.."
began=$(date +%s)
. tools/packages.sh
need chromium $BUILD_PACKAGES $RUN_PACKAGES $CAPTURE_PACKAGES xvfb xauth x11-utils pulseaudio
command -v npm >/dev/null || need nodejs npm

sh web/build.sh
(cd tests/web && npm ci --no-audit --no-fund >/dev/null)
cmake -S . -B build-webref -DBUILD_TESTING=OFF >/dev/null
cmake --build build-webref -j2 --target demorender >/dev/null
echo "web stage: built in $(($(date +%s) - began)) s"

. tools/headless.sh
own=
if [ -z "${DISPLAY:-}" ] || [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    startheadless
    own=yes
fi
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server -b 127.0.0.1 -d build-web/site "$port" >/dev/null 2>&1 &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    [ -z "$own" ] || stopheadless
}
trap cleanup EXIT
until python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null; do
    sleep 0.2
done

SITE_URL="http://127.0.0.1:$port/"
DEMORENDER=build-webref/demorender
export SITE_URL DEMORENDER
status=0
for test in frames show whole; do
    step=$(date +%s)
    node "tests/web/$test.js" || status=1
    echo "web stage: $test $(($(date +%s) - step)) s"
done
echo "web stage: $(($(date +%s) - began)) s"
exit $status
