#!/bin/bash
# The benchmarks: builds what they need, runs each figure several times
# on a private virtual X server and null-sink audio server, and prints one
# Markdown table (figure, median of the runs, min, max, goal, figure/goal).
# Progress goes to standard error. A benchmark never fails because the
# machine is slow; the command fails only when something cannot run.
#
#   bench/run.sh [--tiny]
#
# --tiny: one timeline section, one second of audio, one run of each.
# Settings (environment): BENCH_BUILD build directory (build-bench),
# BENCH_RUNS runs per figure (3), BENCH_SECONDS audio seconds per clock
# run (60), BENCH_REPEATS frames per clock value (10), BENCH_HOLD seconds
# the show plays before it is asked to quit for the memory figure (5).
set -eu
cd "$(dirname "$0")/.."
ROOT=$PWD

SECTIONS="blur tube bag photos noise bottle spin nothing"
if [ "${1:-}" = "--tiny" ]; then
    SECTIONS="bag"
    : "${BENCH_RUNS:=1}" "${BENCH_SECONDS:=1}" "${BENCH_REPEATS:=2}" "${BENCH_HOLD:=1}"
fi
RUNS=${BENCH_RUNS:-3}
SECONDS_PER_RUN=${BENCH_SECONDS:-60}
REPEATS=${BENCH_REPEATS:-10}
HOLD=${BENCH_HOLD:-5}
BUILD=${BENCH_BUILD:-build-bench}
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac

say() { echo "bench: $*" >&2; }

. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES $TEST_PACKAGES >&2
# A build directory of its own gets the benchmark programs and no tests; one
# that already builds them (the test suite's own) is used as it is.
grep -qs '^DEMO_BENCH:BOOL=ON' "$BUILD/CMakeCache.txt" ||
    cmake -S . -B "$BUILD" -DBUILD_TESTING=OFF -DDEMO_BENCH=ON >&2
cmake --build "$BUILD" -j"$(nproc)" --target demoplayer clockrun framecost decoder floor launch figures firstframe >&2
P=$BUILD/bench

. tools/headless.sh
startheadless
WORK=$(mktemp -d)
trap 'stopheadless; rm -rf "$WORK"' EXIT

# stats: numbers on stdin -> "median p99 mean min max n"
stats() { "$P/figures" stats; }
# Field $1 (1-based) of the stats of stdin.
field() { stats | cut -d' ' -f"$1"; }
# "median min max" of the numbers on stdin.
spread() { stats | awk '{print $1, $4, $5}'; }
fmt() { awk -v f="$1" '{ for (i = 1; i <= NF; i++) $i = ($i == "nan" ? "n/a" : sprintf(f, $i)); print }'; }
ROWS=()
# row <figure> "<median> <min> <max>" <unit> <goal text> <goal number>
row() {
    local v=($2) ratio met
    if [ "${v[0]}" = "nan" ]; then
        ROWS+=("| $1 | n/a | n/a | n/a | $4 | n/a | n/a |")
        return
    fi
    if [ "$5" = 0 ]; then
        ratio="—"
        met=$(awk -v x="${v[0]}" 'BEGIN { print (x == 0 ? "yes" : "no") }')
    else
        ratio=$(awk -v x="${v[0]}" -v g="$5" 'BEGIN { printf "%.2f", x / g }')
        met=$(awk -v r="$ratio" 'BEGIN { print (r <= 1 ? "yes" : "no") }')
    fi
    local f=($(echo "$2" | fmt "%.${6:-2}f"))
    ROWS+=("| $1 | ${f[0]}$3 | ${f[1]}$3 | ${f[2]}$3 | $4 | $ratio | $met |")
}

# ---- P1 frame cost against the replay of the same GL calls
say "P1: frames ($SECTIONS), $RUNS runs"
for r in $(seq "$RUNS"); do
    "$P/framecost" "$REPEATS" $SECTIONS >"$WORK/p1.$r"
done
say "P1: trace and replays"
( cd "$WORK" && apitrace trace --api gl -o "$WORK/p1.trace" "$P/framecost" "$REPEATS" $SECTIONS \
    >"$WORK/p1.traced" 2>"$WORK/p1.trace.log" ) || say "apitrace failed: $(tail -1 "$WORK/p1.trace.log")"
# sectionframes <run file> <label>: the frame times labelled so, in ms.
sectionframes() { awk -v s="$2" '$3 == s { print $5 / 1e6 }' "$1"; }
# replayed <trace> <section> <first>: the replay's time of each frame of
# the section, in ms, from a benchmark replay that finishes every frame.
# Frame k of the trimmed trace is frame first+k-1 of the traced run, and
# takes from the end of the frame before it to its own end.
replayed() {
    (cd "$WORK" && glretrace -b --pframe-times "$1" 2>/dev/null) |
        awk -v s="$2" -v first="$3" '
            FNR == NR { label[$2] = $3; next }
            $1 == "rendering_finished" {
                if (k > 0 && label[first + k - 1] == s) print ($2 - last) / 1e6
                last = $2; k++
            }' "$WORK/p1.traced" -
}
declare -A NAMES=([blur]="0–1700 blur pass" [tube]="1700–7000 tube opened" [bag]="7000–40000 bag + petals"
    [photos]="40000–72000 photos" [noise]="72000–104000 noise + long petals"
    [bottle]="104000–136000 bottle + glow" [spin]="136000–168000 closing spin" [nothing]="≥168000 nothing")
for s in $SECTIONS; do
    ratios=() p99s=() prog=() replay=()
    range=$(awk -v s="$s" '$3 == s || $3 == s "/warm" { if (a == "") a = $2; b = $2 } END { print a "-" b }' "$WORK/p1.traced" 2>/dev/null || true)
    if [ -s "$WORK/p1.trace" ] && [ "$range" != "-" ]; then
        apitrace trim --frames="0,$range" -o "$WORK/$s.trace" "$WORK/p1.trace" >/dev/null 2>&1 || true
    fi
    for r in $(seq "$RUNS"); do
        pm=$(sectionframes "$WORK/p1.$r" "$s" | field 1)
        prog+=("$pm")
        p99s+=("$(sectionframes "$WORK/p1.$r" "$s" | field 2 | awk '{ print $1 / (1000 / 60) * 100 }')")
        rm_=nan
        [ -s "$WORK/$s.trace" ] && rm_=$(replayed "$WORK/$s.trace" "$s" "${range%-*}" | field 1)
        replay+=("$rm_")
        ratios+=("$(awk -v a="$pm" -v b="$rm_" 'BEGIN { print ((b == "nan" || b <= 0) ? "nan" : a / b) }')")
    done
    pmed=$(printf '%s\n' "${prog[@]}" | field 1 | fmt "%.2f")
    rmed=$(printf '%s\n' "${replay[@]}" | field 1 | fmt "%.2f")
    row "P1 frame cost, ${NAMES[$s]}: median frame ÷ replay's (program $pmed ms, replay $rmed ms)" \
        "$(printf '%s\n' "${ratios[@]}" | grep -v nan | spread)" "×" "≤ 1.1×" 1.1
    row "P1 frame cost, ${NAMES[$s]}: p99 frame, share of a 60 Hz frame" \
        "$(printf '%s\n' "${p99s[@]}" | spread)" "%" "≤ 50%" 50 0
done

# ---- P2 start-up and P5 memory: the show against the bare window
say "P2/P5: start-up and memory, $RUNS runs"
# launched <log> <program> [args]: runs it until its first frame, lets it
# play $HOLD seconds, asks it to quit; the preload logs into <log>.
launched() {
    local log=$1 pid
    shift
    BENCH_LOG=$log LD_PRELOAD="$P/libfirstframe.so" "$P/launch" "$@" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 600); do
        grep -q '^first' "$log" 2>/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    sleep "$HOLD"
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
logged() { awk -v k="$2" '$1 == k { print $3 == "" ? $2 : $2 " " $4 " " $6 }' "$1" 2>/dev/null; }
startup=() memory=() anon=() file=()
for r in $(seq "$RUNS"); do
    launched "$WORK/p2.show.$r" "$BUILD/demoplayer"
    launched "$WORK/p2.floor.$r" "$P/floor"
    s=$(logged "$WORK/p2.show.$r" first) f=$(logged "$WORK/p2.floor.$r" first)
    [ -n "$s" ] && [ -n "$f" ] && startup+=("$(awk -v a="$s" -v b="$f" 'BEGIN { print (a - b) / 1e6 }')")
    s=($(logged "$WORK/p2.show.$r" hwm)) f=($(logged "$WORK/p2.floor.$r" hwm))
    if [ ${#s[@]} = 3 ] && [ ${#f[@]} = 3 ]; then
        memory+=("$(awk -v a="${s[0]}" -v b="${f[0]}" 'BEGIN { print (a - b) / 1024 }')")
        anon+=("$(awk -v a="${s[1]}" -v b="${f[1]}" 'BEGIN { print (a - b) / 1024 }')")
        file+=("$(awk -v a="${s[2]}" -v b="${f[2]}" 'BEGIN { print (a - b) / 1024 }')")
    fi
done
floorms=$(for r in $(seq "$RUNS"); do logged "$WORK/p2.floor.$r" first; done | awk '{ print $1 / 1e6 }' | field 1 | fmt "%.0f")
row "P2 start-up: exec to first presented frame, show − bare window (window alone $floorms ms)" \
    "$(printf '%s\n' "${startup[@]}" | spread)" " ms" "≤ 100 ms" 100 0

# ---- P3 clock against the paced device
say "P3: clock, $RUNS × $SECONDS_PER_RUN s per route"
for route in alsa oss; do
    errs=() jits=() backs=()
    for r in $(seq "$RUNS"); do
        if [ $route = oss ]; then
            LD_PRELOAD='/usr/$LIB/pulseaudio/libpulsedsp.so' "$BUILD/clockrun" data/lyd.ogg "$SECONDS_PER_RUN" >"$WORK/p3.$route.$r" 2>/dev/null || true
        else
            "$BUILD/clockrun" data/lyd.ogg "$SECONDS_PER_RUN" >"$WORK/p3.$route.$r" 2>/dev/null || true
        fi
        read -r e j b n < <("$P/figures" clock 1616.6667 <"$WORK/p3.$route.$r")
        [ "$n" -gt 1 ] || continue
        errs+=("$e") jits+=("$j") backs+=("$b")
    done
    label=$([ $route = oss ] && echo "OSS emulation" || echo "ALSA")
    row "P3 clock, $label: error p99 from the paced line" "$(printf '%s\n' "${errs[@]}" | spread)" " ms" "≤ 5 ms" 5
    row "P3 clock, $label: frame-to-frame jitter p99" "$(printf '%s\n' "${jits[@]}" | spread)" " ms" "≤ 1 ms" 1
    row "P3 clock, $label: steps back" "$(printf '%s\n' "${backs[@]}" | spread)" "" "0" 0 0
done

# ---- P4 decoder against oggdec
say "P4: decoder, $RUNS runs"
ratios=() dec=() ref=()
for r in $(seq "$RUNS"); do
    d=$("$P/decoder" data/lyd.ogg | cut -d' ' -f1)
    TIMEFORMAT='%3U %3S'
    o=$( { time oggdec -Q -o /dev/null data/lyd.ogg >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }')
    dec+=("$d") ref+=("$o")
    ratios+=("$(awk -v a="$d" -v b="$o" 'BEGIN { print (b > 0 ? a / b : "nan") }')")
done
row "P4 decoder: music thread CPU ÷ oggdec CPU, whole soundtrack (thread $(printf '%s\n' "${dec[@]}" | field 1 | fmt "%.2f") s, oggdec $(printf '%s\n' "${ref[@]}" | field 1 | fmt "%.2f") s)" \
    "$(printf '%s\n' "${ratios[@]}" | spread)" "×" "≤ 1.1×" 1.1

# ---- P5 memory
am=$(printf '%s\n' "${anon[@]}" | field 1 | fmt "%.1f") fm=$(printf '%s\n' "${file[@]}" | field 1 | fmt "%.1f")
row "P5 memory: peak RSS, show − bare window (at exit, anonymous +$am MB, file-backed +$fm MB)" \
    "$(printf '%s\n' "${memory[@]}" | spread)" " MB" "≤ 16 MB" 16 1

# ---- the table, in figure order
echo "| figure | median | min | max | goal | figure ÷ goal | met |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${ROWS[@]}" | grep '^| P1'
printf '%s\n' "${ROWS[@]}" | grep '^| P2'
printf '%s\n' "${ROWS[@]}" | grep '^| P3'
printf '%s\n' "${ROWS[@]}" | grep '^| P4'
printf '%s\n' "${ROWS[@]}" | grep '^| P5'
echo
echo "$RUNS run(s) per figure; P1 $REPEATS frames per clock value; P3 $SECONDS_PER_RUN s per run; P5 after $HOLD s of play."
