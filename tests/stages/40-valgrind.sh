#!/bin/sh
# The real show under valgrind's memcheck: start-up (pictures decoded and
# mip-mapped, soundtrack opened, device, music thread) and then frames of
# the show from the repository root with the shipped soundtrack, until the
# probe has counted 300 presented frames or 240 s have passed, whichever
# comes first; then SIGTERM, which SDL turns into a normal quit. Fails on
# any memcheck error not listed in tests/sanitizers/valgrind.supp, on any
# invalid read or write in the log, on an abnormal end, or when not a
# single frame was presented. Uses the default build ($BUILD, default
# build/, with its tests, whose probe counts the frames), which has no
# sanitizers.
#
# Run by test.sh with its X and audio servers; run alone, it starts its own.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
. tools/packages.sh
need valgrind

. tools/headless.sh
ensureheadless

build=${BUILD:-build}
cmake -S . -B "$build" -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target demoplayer probe
build=$(cd "$build" && pwd)

work=$(mktemp -d)
frames="$work/frames"
: >"$frames"
# No leak check: the show keeps everything it makes until the process
# ends, and the music thread is still writing when it does.
LD_PRELOAD="$build/tests/libprobe.so" PROBE_LOG="$frames" \
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=no \
    --num-callers=30 --suppressions="$root/tests/sanitizers/valgrind.supp" \
    --log-file="$work/memcheck.log" "$build/demoplayer" >"$work/stdout" &
show=$!
waited=0
while [ "$(grep -c '^swap$' "$frames" || true)" -lt 300 ] && [ "$waited" -lt 240 ] \
    && kill -0 "$show" 2>/dev/null; do
    sleep 1
    waited=$((waited + 1))
done
kill -TERM "$show" 2>/dev/null || true
status=0
wait "$show" || status=$?
count=$(grep -c '^swap$' "$frames" || true)
echo "show under memcheck: ${waited} s, $count frames presented, status $status, printed '$(cat "$work/stdout")'"
grep -E 'ERROR SUMMARY' "$work/memcheck.log" || true

failed=0
if [ "$status" -ne 0 ] || [ "$(cat "$work/stdout")" != "zOT!" ] || [ "$count" -eq 0 ]; then
    failed=1
fi
if grep -qE 'Invalid (read|write)' "$work/memcheck.log"; then
    failed=1
fi
if [ "$failed" -ne 0 ]; then
    cat "$work/memcheck.log"
fi
rm -rf "$work"
exit $failed
