#!/bin/sh
# The README's two commands in a fresh clone of the committed tree, in the
# order a newcomer types them and back: ./play.sh (the show, ended with
# Escape), then ./test.sh, which must find and pass its tests in the build
# play.sh configured, then ./play.sh again over the build test.sh left. A
# test command that finds no test to run must fail.
#
# Run by test.sh --full with its X and audio servers; run alone, it starts
# its own.
set -eu
cd "$(dirname "$0")/../.."
. tools/packages.sh
need xdotool
. tools/headless.sh
ensureheadless
began=$(date +%s)
# The clone's place is the same in every run, so that its compiles are
# ccache's hits from the last run (cmake/ccache.cmake).
clone=$PWD/build-order
rm -rf "$clone"
git clone -q . "$clone"
# Escape is held on an X server of its own, so nothing else on the shared
# display sees it; the test command in between uses the shared one.
shared=$DISPLAY
startxvfb
ownx=$XPID
own=$DISPLAY
DISPLAY=$shared
trap 'kill "$ownx" 2>/dev/null || true; rm -rf "$clone"; [ -z "${XVFB_PID:-}" ] || stopheadless' EXIT

# play <log>: ./play.sh in the clone, ended with Escape once its window is
# up (the build comes first: up to 10 minutes); fails unless the show ends
# with its closing tag and status 0.
play() {
    (cd "$clone" && DISPLAY=$own exec ./play.sh) >"$1" 2>&1 &
    pid=$!
    waited=0
    until DISPLAY=$own xdotool search --class demoplayer >/dev/null 2>&1; do
        if ! kill -0 "$pid" 2>/dev/null || [ "$waited" -ge 6000 ]; then
            echo "order: ./play.sh showed no window; its output:"
            cat "$1"
            kill "$pid" 2>/dev/null || true
            exit 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    DISPLAY=$own xdotool keydown Escape
    status=0
    waited=0
    while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 200 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" || status=$?
    DISPLAY=$own xdotool keyup Escape
    if [ "$status" -ne 0 ] || [ "$(tail -c 4 "$1")" != "zOT!" ]; then
        echo "order: ./play.sh ended with status $status; its output:"
        cat "$1"
        exit 1
    fi
}

play "$clone/play1.log"
echo "order: ./play.sh played and ended with zOT! ($(($(date +%s) - began)) s)"

# The quick tier's start-up tests only: the point is that test.sh finds
# tests in a build play.sh configured, not to run the suite twice.
(cd "$clone" && ./test.sh -R '^Startup\.') >"$clone/test.log" 2>&1 ||
    { echo "order: ./test.sh after ./play.sh failed:"; cat "$clone/test.log"; exit 1; }
ran=$(sed -n 's/.* tests passed, 0 tests failed out of \([0-9]*\)/\1/p' "$clone/test.log")
[ "${ran:-0}" -ge 5 ] || { echo "order: ./test.sh ran ${ran:-no} tests"; cat "$clone/test.log"; exit 1; }
echo "order: ./test.sh after ./play.sh ran and passed $ran tests ($(($(date +%s) - began)) s)"

if (cd "$clone" && ./test.sh -R '^NoSuchTest$') >"$clone/none.log" 2>&1; then
    echo "order: a test command that ran no test passed:"
    cat "$clone/none.log"
    exit 1
fi
grep -q 'No tests were found' "$clone/none.log" ||
    { echo "order: ./test.sh failed for another reason:"; cat "$clone/none.log"; exit 1; }
echo "order: a test command that found no test failed"

play "$clone/play2.log"
echo "order: ./play.sh after ./test.sh played and ended with zOT! ($(($(date +%s) - began)) s)"
