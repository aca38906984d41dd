#!/bin/sh
# The Windows program under Wine against the native program, on the same
# private virtual X server (640x480, Mesa llvmpipe) in one run: frames per
# second in each timeline section (bench/framecost.cpp, built both ways
# from the one source: each frame timed from the clock read to a glFinish
# after the swap, no sound), and the time from starting the program to its
# first frame. Prints one Markdown table; progress goes to standard error.
#
#   bench/wine.sh [RUNS]     (RUNS of each program, 3 unless given)
set -eu
cd "$(dirname "$0")/.."
runs=${1:-3}
repeats=10
say() { echo "bench: $*" >&2; }

. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES $WIN_PACKAGES $WINE_PACKAGES xvfb xauth x11-utils pulseaudio >&2
sh win/build.sh >&2
cmake -S . -B build-bench -DBUILD_TESTING=OFF -DDEMO_BENCH=ON >/dev/null
cmake --build build-bench -j2 --target framecost >&2
. tools/headless.sh
. tests/win/wine.sh
startheadless
work=$(mktemp -d)
trap 'removeprefix; stopheadless; rm -rf "$work"' EXIT
say "making a Wine prefix"
makeprefix

# ms: milliseconds since the epoch.
ms() { echo $(($(date +%s%N) / 1000000)); }

# Alternating, so that both meet the same load.
for r in $(seq "$runs"); do
    say "run $r of $runs"
    build-bench/bench/framecost "$repeats" >>"$work/native"
    (cd build-win/cmake && "$WINE" ./framecost.exe "$repeats") >>"$work/wine"
    # Start-up: the whole run of a program that draws its first frames of
    # the timeline's empty end and quits, so nearly all of it is start-up.
    t=$(ms)
    build-bench/bench/framecost 1 nothing >/dev/null
    echo $(($(ms) - t)) >>"$work/native.start"
    t=$(ms)
    (cd build-win/cmake && "$WINE" ./framecost.exe 1 nothing >/dev/null)
    echo $(($(ms) - t)) >>"$work/wine.start"
done

# median: the median of the numbers on standard input.
median() {
    sort -n | awk '{ v[n++] = $1 } END { print n % 2 ? v[int(n / 2)] : (v[n / 2 - 1] + v[n / 2]) / 2 }'
}
# fps FILE SECTION: frames per second at the section's median frame time.
fps() {
    awk -v s="$2" '$1 == "frame" && $3 == s { print $5 }' "$1" | median |
        awk '{ printf "%.0f", 1e9 / $1 }'
}

echo "| figure | native | Wine | Wine ÷ native |"
echo "|---|---|---|---|"
for s in blur tube bag photos noise bottle spin nothing; do
    n=$(fps "$work/native" "$s")
    w=$(fps "$work/wine" "$s")
    echo "| frames per second, section $s (median frame) | $n | $w | $(echo "$w $n" | awk '{ printf "%.2f", $1 / $2 }') |"
done
n=$(median <"$work/native.start")
w=$(median <"$work/wine.start")
echo "| start to first frame and quit, ms (median of $runs) | $n | $w | $(echo "$w $n" | awk '{ printf "%.2f", $1 / $2 }') |"
echo
echo "$runs run(s) of each program, $repeats frames per clock value; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
