#!/bin/sh
# ThreadSanitizer over the two threads of the show, built in build-tsan:
# the clock, music-thread and device tests (clockrun plays through the real
# ALSA and OSS layers on two threads), the Windows sound device's threads
# against its fake waveOut, the real show losing its audio server midway
# (the music thread gives the device up, the main thread ends the show),
# then 20 s of the real show from the
# repository root with the shipped soundtrack, ended by SIGTERM, which SDL
# turns into a normal quit. Any report fails the stage: every sanitized
# process halts on its first report, writes it under one log directory,
# which must stay empty, and exits with status 66.
#
# Run by test.sh with its X and audio servers; run alone, it starts its own.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)

. tools/headless.sh
ensureheadless

# Line tables (-g1) are all a report's stacks need.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
    -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build build-tsan -j"$(nproc)" --target demoplayer probe clock_test music_test device_test \
    winsound_test soundloss_test

logs=$(mktemp -d)
TSAN_OPTIONS="halt_on_error=1:exitcode=66:log_path=$logs/tsan:suppressions=$root/tests/sanitizers/tsan.supp"
export TSAN_OPTIONS

status=0
ctest --test-dir build-tsan --output-on-failure --timeout 600 \
    -R '^(Clock|Music|Device|WinSound)\.|^SoundLoss\.ServerKilled' || status=1

# The show itself, with the probe counting the frames it presents.
frames="$logs/frames"
out="$logs/stdout"
LD_PRELOAD="$root/build-tsan/tests/libprobe.so" PROBE_LOG="$frames" \
    build-tsan/demoplayer >"$out" &
show=$!
sleep 20
kill -TERM "$show" 2>/dev/null || true
showstatus=0
wait "$show" || showstatus=$?
count=$(cat "$frames" 2>/dev/null | grep -c '^swap$' || true)
echo "show under TSan: status $showstatus, $count frames, printed '$(cat "$out")'"
if [ "$showstatus" -ne 0 ] || [ "$(cat "$out")" != "zOT!" ]; then
    status=1
fi
rm -f "$frames" "$out"

for report in "$logs"/*; do
    [ -e "$report" ] || continue
    echo "--- $report"
    cat "$report"
    status=1
done
rm -rf "$logs"
exit $status
