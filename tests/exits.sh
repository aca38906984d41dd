#!/bin/sh
# Ends the real show with a held Escape N times in a row (default 100) and
# insists that every run exits with status 0, says exactly "zOT!", and is
# gone within 10 s. Each run waits for the first drawn frame (the music
# thread is running by then), then 0-300 ms more before Escape goes down,
# so the exits land at different moments of the music thread's writes.
#
# Needs an audio server (XDG_RUNTIME_DIR as test.sh exports it; run alone,
# it starts its own) and a build of the show in $EXITS_BUILD, default
# build. Escape is held on an X server of its own, so nothing else running
# on the shared display sees it.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-100}
build=${EXITS_BUILD:-build}
. tools/packages.sh
need xdotool

. tools/headless.sh
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -S "$XDG_RUNTIME_DIR/pulse/native" ]; then
    startheadless
fi

work=$(mktemp -d)
startxvfb
xpid=$XPID
cleanup() {
    kill "$xpid" 2>/dev/null || true
    wait "$xpid" 2>/dev/null || true
    rm -rf "$work"
}
trap 'cleanup; [ -z "${XVFB_PID:-}" ] || stopheadless' EXIT

mkdir "$work/data"
cp data/lyd.ogg "$work/data/"
probe="$root/$build/tests/libprobe.so"

ok=0
i=1
while [ "$i" -le "$runs" ]; do
    log="$work/probe.log"
    rm -f "$log"
    (cd "$work" && LD_PRELOAD="$probe" PROBE_LOG="$log" exec "$root/$build/demoplayer") \
        >"$work/out" 2>"$work/err" &
    pid=$!
    # The first frame, at most 10 s away.
    for _ in $(seq 200); do
        grep -q swap "$log" 2>/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    pause=$(awk -v s="$i" 'BEGIN { srand(s); printf "%.3f", rand() * 0.3 }')
    sleep "$pause"
    xdotool keydown Escape
    # A hang is a failure: 10 s after Escape the run is killed.
    waited=0
    while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    hung=""
    if kill -0 "$pid" 2>/dev/null; then
        hung=" (hung, killed)"
        kill -9 "$pid" 2>/dev/null || true
    fi
    status=0
    wait "$pid" || status=$?
    xdotool keyup Escape
    if [ "$status" -eq 0 ] && printf 'zOT!' | cmp -s - "$work/out" && [ -z "$hung" ]; then
        ok=$((ok + 1))
    else
        echo "exit run $i after ${pause}s: status $status$hung, stdout '$(cat "$work/out")'"
        sed 's/^/  stderr: /' "$work/err" | head -n 20
    fi
    i=$((i + 1))
done
echo "exits: $ok/$runs ok"
[ "$ok" -eq "$runs" ]
