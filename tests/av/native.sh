#!/bin/sh
# The native program on the live A/V rig (tests/av/rig.sh): mpv plays a
# demorender clip of the first flash stretch while the rig records it, then
# the program plays from the start and the rig records 9 s from 24 s in
# (clock about 38800 to 53300: the flashes start at 41075). Passes when the
# program's kick-to-flash time is within 45 ms of mpv's, and the program
# ended with "zOT!" and status 0 when asked to close (SIGTERM).
#
#   tests/av/native.sh DEMOPLAYER DEMORENDER   (from the repository root,
#   under DISPLAY of 640x480 and a PulseAudio server, as test.sh starts them)
set -eu
player=$1
clip=$(dirname "$player")/rigclip.mp4
rig=tests/av/rig.sh
sh $rig clip "$2" "$clip"
reference=$(sh $rig reference "$clip")
echo "live rig: mpv: $reference (flashes, ms from kick to flash)"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$player" >"$out/said" 2>&1 &
show=$!
sleep 24
sh $rig record "$out/show.nut" 9
kill -TERM "$show"
status=0
wait "$show" || status=$?
measured=$(python3 tests/av/avsync.py "$out/show.nut") || { echo "live rig: the program's flashes not found: $measured"; exit 1; }
echo "live rig: demoplayer: $measured"
[ "$status" = 0 ] && [ "$(cat "$out/said")" = "zOT!" ] || { echo "live rig: the program ended with $status: $(cat "$out/said")"; exit 1; }
echo "live rig: $(sh $rig judge "$reference" "$measured")"
sh $rig judge "$reference" "$measured" >/dev/null
