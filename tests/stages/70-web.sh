#!/bin/sh
# The show in a browser: builds the site and the single file once
# (web/build.sh) and, from the same sources, the native demorender (the
# default build's, else in build-webref); serves the site on a free port and drives Debian's Chromium
# (headless) and Firefox ESR through puppeteer-core (tests/web, installed
# by npm from its lock file), and WebKitGTK's MiniBrowser through
# WebKitWebDriver (tests/web/webkit.js), one browser at a time but for the
# single file, which runs in all three at once. In each:
# the site's single frames against the native ones, the start gesture and
# the time to the first frame, the clock, Escape, leaving fullscreen, the
# failure messages (show.js); the page's clock fed faked output timestamps
# and a context suspended and closed (clock.js; its logic first under node
# alone); then the single file opened from disk with every request to a
# host refused: frames at four clock values and the whole show once
# (file.js). The whole show runs from the single file only: it is the
# site's page and program with the files inlined, and the site's way of
# getting them is what show.js tests. Then the phone tests in Chromium's
# emulation (phone.js); last, the live A/V rig (tests/av) with each browser
# in a window against mpv.
#
# Run by test.sh --full with its X and audio servers; run alone, it starts
# its own (demorender needs X). Firefox's and WebKit's windows get an X
# server of their own, larger than the show's 640x480 one that demorender
# draws on.
set -eu
cd "$(dirname "$0")/../.."
began=$(date +%s)
. tools/packages.sh
need chromium firefox-esr xdotool mpv $WEBKIT_PACKAGES $BUILD_PACKAGES $RUN_PACKAGES $CAPTURE_PACKAGES xvfb xauth x11-utils pulseaudio
command -v npm >/dev/null || need nodejs npm

sh web/build.sh
(cd tests/web && npm ci --no-audit --no-fund >/dev/null)
# The native demorender the page is judged against: the default build's,
# brought up to date, where there is one (test.sh has just built it),
# else one of its own in build-webref. The rig's clip goes in build-webref.
ref=build
if [ ! -f build/CMakeCache.txt ]; then
    ref=build-webref
    cmake -S . -B build-webref -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$ref" -j2 --target demorender >/dev/null
mkdir -p build-webref
echo "web stage: built in $(($(date +%s) - began)) s"

. tools/headless.sh
own=
server=
windowx=
secondx=
cleanup() {
    for pid in $server $windowx $secondx; do
        kill "$pid" 2>/dev/null || true
    done
    [ -z "$own" ] || stopheadless
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] || [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    startheadless
    own=yes
fi
shown=$DISPLAY
startxvfb 1280x1024
WEB_DISPLAY=$DISPLAY
windowx=$XPID
DISPLAY=$shown
export DISPLAY WEB_DISPLAY
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server -b 127.0.0.1 -d build-web/site "$port" >/dev/null 2>&1 &
server=$!
until python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null; do
    sleep 0.2
done

SITE_URL="http://127.0.0.1:$port/"
DEMORENDER=$ref/demorender
export SITE_URL DEMORENDER
status=0
# Runs one test file (its command after the label); a second time only when
# its browser's driver stopped answering (status 3, tests/web/browser.js:
# every call timing out). Any other failure fails the stage the first
# time. Both runs are logged.
attempt() {
    label=$1
    shift
    rc=0
    "$@" || rc=$?
    if [ "$rc" -eq 3 ]; then
        echo "web stage: $label: the browser's driver stopped answering; once more"
        rc=0
        "$@" || rc=$?
    fi
    [ "$rc" -eq 0 ] || { echo "web stage: $label failed (status $rc)"; status=1; }
}
node tests/web/clockmodel.js || status=1
for browser in chromium firefox webkit; do
    for test in frames show clock; do
        step=$(date +%s)
        attempt "$browser $test" env WEB_BROWSER=$browser node "tests/web/$test.js"
        echo "web stage: $browser $test $(($(date +%s) - step)) s"
    done
done
# The single file in the three engines at once, each windowed browser on
# an X server of its own: the whole show lasts as long in three as in one,
# and nothing file.js judges depends on how fast frames come. Each run's
# output is printed once all have ended; a run whose driver stopped
# answering runs once more, alone.
startxvfb 1280x1024
secondx=$XPID
second=$DISPLAY
DISPLAY=$shown
step=$(date +%s)
logs=$(mktemp -d)
onefile() {
    env WEB_BROWSER="$1" WEB_DISPLAY="$2" node tests/web/file.js 1700 45600 90000 150000
}
onefile chromium "$WEB_DISPLAY" >"$logs/chromium" 2>&1 &
chromium=$!
onefile firefox "$WEB_DISPLAY" >"$logs/firefox" 2>&1 &
firefox=$!
onefile webkit "$second" >"$logs/webkit" 2>&1 &
webkit=$!
for browser in chromium firefox webkit; do
    rc=0
    eval "wait \$$browser" || rc=$?
    cat "$logs/$browser"
    if [ "$rc" -eq 3 ]; then
        echo "web stage: $browser file: the browser's driver stopped answering; once more"
        rc=0
        onefile "$browser" "$WEB_DISPLAY" || rc=$?
    fi
    [ "$rc" -eq 0 ] || { echo "web stage: $browser file failed (status $rc)"; status=1; }
done
rm -rf "$logs"
echo "web stage: the single file in three browsers at once $(($(date +%s) - step)) s"
step=$(date +%s)
attempt "chromium phone" env WEB_BROWSER=chromium node tests/web/phone.js
echo "web stage: chromium phone $(($(date +%s) - step)) s"
# The live A/V rig (tests/av/rig.sh): mpv's reference figure, then each
# browser in a window on the 640x480 display, its sound through the audio
# server, against it: 18 s of the first flash stretch (clock 40000 to
# 69000, some 28 beats), the page's from clock 39000; Firefox, whose
# output's delay differs from start to start, on the median of three.
step=$(date +%s)
sh tests/av/rig.sh clip "$DEMORENDER" build-webref/rigclip-69000.mp4 69000
RIG_REFERENCE=$(sh tests/av/rig.sh reference build-webref/rigclip-69000.mp4 18.5) || status=1
echo "web stage: live rig: mpv: $RIG_REFERENCE (flashes, ms from kick to flash)"
for browser in chromium firefox webkit; do
    attempt "$browser live" env WEB_BROWSER=$browser WEB_WINDOW=1 WEB_DISPLAY="$DISPLAY" RIG_REFERENCE="$RIG_REFERENCE" \
        node tests/web/live.js
done
echo "web stage: live rig $(($(date +%s) - step)) s"
echo "web stage: $(($(date +%s) - began)) s"
exit $status
