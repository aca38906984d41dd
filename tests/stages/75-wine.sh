#!/bin/sh
# The Windows program under Wine: builds it (win/build.sh) and the native
# program it is compared with (build/), makes one fresh Wine prefix in a
# temporary folder, and tests, in that prefix, on the 640x480 Xvfb with
# the null-sink audio server:
#   frames    demoframe.exe against the native demorender --at, at clock
#             values covering every section, the tube's opening and flashes
#   clock     clockrun.exe over 20 s, against the sound the null sink played
#   live rig  the program's picture against its sound, recorded together
#             (tests/av), against mpv playing a demorender clip on the rig
#   endings   Escape held (10 runs), the window's close, Alt-F4
#   failures  no soundtrack (redirected, and double-clicked: a message box),
#             a damaged soundtrack, no audio server: the native bytes
#   launcher  started from a folder with a space by a launcher passing the
#             path unquoted; the embedded DPI-aware manifest
#   lost      the audio server killed during the show: the sound message
#   release   the download's zip unpacked into a folder whose name has a
#             space, its imports, and the whole show played from there
# Each step prints its time; the prefix is deleted at the end.
#
# Run by test.sh --full with its servers; run alone, it starts its own.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
began=$(date +%s)
. tools/packages.sh
need $WIN_PACKAGES $WINE_PACKAGES $BUILD_PACKAGES $RUN_PACKAGES ffmpeg mpv xvfb xauth x11-utils \
    pulseaudio pulseaudio-utils xdotool zip unzip
. tools/headless.sh
. tests/win/wine.sh

step=$(date +%s)
lap() {
    echo "wine stage: $1 $(($(date +%s) - step)) s"
    step=$(date +%s)
}
failed=0
check() {
    if [ "$1" -eq 0 ]; then
        echo "ok   $2"
    else
        echo "FAIL $2"
        failed=$((failed + 1))
    fi
}

sh win/build.sh >/dev/null
[ -d build ] || cmake -S . -B build -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j2 --target demoplayer demorender >/dev/null
lap "builds"

own=
if [ -z "${DISPLAY:-}" ] || [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    startheadless
    own=yes
fi
work=$(mktemp -d)
cleanup() {
    removeprefix
    rm -rf "$work"
    [ -z "$own" ] || stopheadless
}
trap cleanup EXIT
makeprefix
lap "prefix"

# Frames: the same commit's native frames are the reference.
for t in 1000 1700 5000 24007 41100 90000 105100 130000 150000; do
    build/demorender --at "$t" --png "$work/n$t.png" 2>/dev/null
    "$WINE" build-win/cmake/demoframe.exe "$t" "$work/w$t.ppm"
    ffmpeg -v error -i "$work/n$t.png" -f rawvideo -pix_fmt rgb24 "$work/n$t.rgb"
    ffmpeg -v error -i "$work/w$t.ppm" -f rawvideo -pix_fmt rgb24 "$work/w$t.rgb"
    r=0
    what=$(framejudge "$work/n$t.rgb" "$work/w$t.rgb") || r=1
    check $r "frame at $t: $what"
done
lap "frames"

# The clock, through the program's own sound device, against what the
# null sink played of the soundtrack, recorded from its monitor.
parec -d nullsink.monitor --raw --format=s16le --rate=44100 --channels=2 >"$work/sink.raw" &
recorder=$!
sleep 0.5
# clockrun ends itself with _exit while the sound plays, which Wine at
# times answers with a crash of the ending process: its output is what
# counts.
("$WINE" build-win/cmake/clockrun.exe data/lyd.ogg 20 >"$work/clock.txt") 2>/dev/null || true
sleep 0.5
kill "$recorder"
wait "$recorder" 2>/dev/null || true
r=0
what=$(clockjudge "$work/clock.txt" "$(soundframes "$work/sink.raw")") || r=1
check $r "clock: $what"
lap "clock"

# The clock's offset, on the live A/V rig (tests/av/rig.sh): mpv playing a
# demorender clip of the first flash stretch gives the rig's own figure;
# then the program plays from the start, recorded 9 s from 24 s in (the
# flashes start at clock 41075, 25.4 s), and is closed. Its kick-to-flash
# time must be within 45 ms of mpv's.
sh tests/av/rig.sh clip build/demorender build/rigclip.mp4
r=0
reference=$(sh tests/av/rig.sh reference build/rigclip.mp4) || r=1
startshow build-win/demoplayer "$work/live"
sleep 24
sh tests/av/rig.sh record "$work/live.nut" 9 || r=1
"$WINE" taskkill /im demoplayer.exe >/dev/null 2>&1 || true
waitshow 100 || r=1
measured=$(python3 tests/av/avsync.py "$work/live.nut") || r=1
what=$(sh tests/av/rig.sh judge "$reference" "$measured") || r=1
check $r "the picture against the sound on the live rig: $what"
lap "live rig"

# Endings. Each run waits for the window, lets the show play a second,
# then ends it; the show must say "zOT!" and end with status 0 within 10 s,
# also while its music thread is blocked on the full pipe.
folder=build-win/demoplayer
printf 'zOT!' >"$work/zot"
# ending NAME COMMAND...: one run ended by COMMAND.
ending() {
    _name=$1
    shift
    startshow "$folder" "$work/out"
    _r=1
    if waitwindow SDL_app 300; then
        sleep 1
        "$@"
        waitshow 100 && [ "$SHOWSTATUS" = 0 ] && cmp -s "$work/zot" "$work/out" && _r=0
    else
        waitshow 1 || true
    fi
    [ "$_r" -eq 0 ] || echo "     $_name: status $SHOWSTATUS, said '$(cat "$work/out")'"
    return $_r
}
holdescape() {
    xdotool keydown Escape
    waitfor 100 sh -c "! kill -0 $SHOW" || true
    xdotool keyup Escape
}
# Asks the program's windows to close (WM_CLOSE), as their close box does.
closewindow() {
    "$WINE" taskkill /im demoplayer.exe >/dev/null 2>&1
}
ended=0
for run in 1 2 3 4 5 6 7 8 9 10; do
    ending "Escape run $run" holdescape && ended=$((ended + 1))
done
r=0
[ "$ended" -eq 10 ] || r=1
check $r "Escape held: $ended of 10 runs ended with \"zOT!\" and status 0"
r=0
ending "close" closewindow || r=1
check $r "the window's close (WM_CLOSE): \"zOT!\" and status 0"
r=0
ending "Alt-F4" xdotool key alt+F4 || r=1
check $r "Alt-F4: \"zOT!\" and status 0"
lap "endings"

# Failures: the bytes the native program writes for the same cause.
# failure NAME FOLDER [VAR=VALUE...]: the Windows program against the
# native one, each run from FOLDER.
failure() {
    _name=$1 _from=$2
    shift 2
    (cd "$_from" && env "$@" "$root/build/demoplayer" >"$work/native" 2>/dev/null) || true
    startshow "$_from" "$work/out" "$@"
    _r=1
    waitshow 300 && [ "$SHOWSTATUS" = 1 ] && cmp -s "$work/native" "$work/out" && _r=0
    check $_r "$_name: status $SHOWSTATUS, said '$(cat "$work/out")'"
}
mkdir -p "$work/nodata" "$work/damaged/data"
cp "$folder/demoplayer.exe" "$folder/SDL.dll" "$work/nodata/"
cp "$folder/demoplayer.exe" "$folder/SDL.dll" "$work/damaged/"
# The soundtrack's first page with its capture pattern broken.
{ printf 'OggX'; tail -c +5 data/lyd.ogg; } >"$work/damaged/data/lyd.ogg"
failure "no soundtrack" "$work/nodata"
failure "a damaged soundtrack" "$work/damaged"
mkdir -p "$work/noserver"
failure "no audio server" "$folder" PULSE_SERVER="unix:$work/noserver/none" \
    XDG_RUNTIME_DIR="$work/noserver"
# Started as a double-click starts it (no standard output): the failure is
# shown in a message box, and the status is kept.
("$WINE" start /wait /unix "$work/nodata/demoplayer.exe" >/dev/null 2>&1) &
SHOW=$!
r=1
if answerbox demoplayer 300; then
    waitshow 10 && [ "$SHOWSTATUS" = 1 ] && r=0
else
    waitshow 1 || true
fi
check $r "no soundtrack, double-clicked: a message box, status $SHOWSTATUS"
lap "failures"

# Started by a launcher that passes the program's path unquoted, from a
# folder whose name has a space (tests/win/launcher.cpp): the program's run
# of itself must be the program, not what the command line's first word
# names (the launcher's copy, which would leave "decoy-ran"). No soundtrack
# there: the failure comes in a message box, and the status is kept.
launch="$work/launch"
mkdir -p "$launch/my show"
cp "$folder/demoplayer.exe" "$folder/SDL.dll" "$launch/my show/"
x86_64-w64-mingw32-g++-posix -municode -O2 -Wall -Wextra -static -o "$work/launcher.exe" \
    tests/win/launcher.cpp
unquoted=$("$WINE" winepath -w "$launch/my show/demoplayer.exe" 2>/dev/null)
(cd "$launch" && exec "$WINE" "$work/launcher.exe" "$unquoted" >/dev/null 2>&1) &
SHOW=$!
r=1
if answerbox demoplayer 300; then
    waitshow 10 && [ "$SHOWSTATUS" = 1 ] && [ ! -e "$launch/decoy-ran" ] && r=0
else
    waitshow 1 || true
fi
check $r "started unquoted from \"my show\" by a launcher: a message box, status $SHOWSTATUS, the program's own run$([ -e "$launch/decoy-ran" ] && echo ' NOT: the decoy ran')"

# The manifest Windows reads at start: DPI-aware, per monitor.
r=1
manifest "$folder/demoplayer.exe" >"$work/manifest.xml"
grep -q '<dpiAware[^>]*>true/pm</dpiAware>' "$work/manifest.xml" &&
    grep -q '<dpiAwareness[^>]*>PerMonitorV2' "$work/manifest.xml" && r=0
check $r "the program's embedded manifest (RT_MANIFEST): DPI-aware, per monitor ($(wc -c <"$work/manifest.xml") bytes)"
lap "launcher and manifest"

# The audio server killed during the show (a private one, so the stage's
# own server stays up): the sound message and status 1, within 10 s of
# the kill by the wall clock; never a freeze, never "zOT!".
lost="$work/lostserver"
mkdir -p "$lost"
chmod 700 "$lost"
XDG_RUNTIME_DIR="$lost" pulseaudio --daemonize=yes -n --exit-idle-time=-1 --disallow-exit \
    --load="module-null-sink sink_name=lost rate=44100 channels=2" \
    --load="module-native-protocol-unix" </dev/null 2>/dev/null || true
r=1
if XDG_RUNTIME_DIR="$lost" waitfor 100 pactl info; then
    startshow "$folder" "$work/out" XDG_RUNTIME_DIR="$lost"
    if XDG_RUNTIME_DIR="$lost" waitfor 300 sh -c 'pactl list short sink-inputs | grep -q .'; then
        sleep 3
        kill -9 "$(cat "$lost/pulse/pid")"
        killed=$(date +%s)
        printf 'bleh. lyden fucka. \\: \n' >"$work/lostmessage"
        waitshow 100 && [ "$SHOWSTATUS" = 1 ] && cmp -s "$work/lostmessage" "$work/out" && r=0
        echo "     ended $(($(date +%s) - killed)) s after the kill"
    else
        waitshow 1 || true
    fi
fi
kill -9 "$(cat "$lost/pulse/pid" 2>/dev/null)" 2>/dev/null || true
check $r "audio server killed during the show: status $SHOWSTATUS, said '$(cat "$work/out" 2>/dev/null)'"
lap "audio server killed"

# The release: the zip as the download has it, unpacked into a folder
# whose name has a space, run from there.
sh tools/release/release-win.sh "$work/dist" "$(sed -n 's/^project(demoplayer VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" >/dev/null
zip=$(ls "$work"/dist/*-windows-x86_64.zip)
mkdir -p "$work/my downloads"
unzip -q "$zip" -d "$work/my downloads"
inside=$(ls "$work/my downloads")
r=0
[ "$(echo "$inside" | wc -l)" -eq 1 ] && [ -f "$work/my downloads/$inside/demoplayer.exe" ] || r=1
check $r "the zip holds one folder, $inside, with the program"
unpacked="$work/my downloads/$inside"
# Windows' own DLLs, or one beside the program.
windows="ADVAPI32.dll GDI32.dll GLU32.dll KERNEL32.dll msvcrt.dll OPENGL32.dll USER32.dll WINMM.dll"
r=0
for f in "$unpacked"/*.exe "$unpacked"/*.dll; do
    for dll in $(imports "$f"); do
        case " $windows " in *" $dll "*) continue ;; esac
        [ -f "$unpacked/$dll" ] && continue
        echo "     $(basename "$f") needs $dll"
        r=1
    done
done
check $r "imports: $(imports "$unpacked/demoplayer.exe" | tr '\n' ' ')"
size=$(wc -c <"$zip")
r=0
[ "$size" -le 4000000 ] || r=1
check $r "zip size $size bytes (at most 4 MB)"
startshow "$unpacked" "$work/out"
r=1
waitshow 1500 && [ "$SHOWSTATUS" = 0 ] && cmp -s "$work/zot" "$work/out" && r=0
check $r "the whole show from the unpacked release ended by itself: status $SHOWSTATUS, said '$(cat "$work/out")'"
lap "release and the whole show"

echo "wine stage: $failed failed, $(($(date +%s) - began)) s in all"
[ "$failed" -eq 0 ]
