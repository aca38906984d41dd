#!/bin/sh
# The live A/V rig: one ffmpeg records the X screen in DISPLAY (x11grab, 60
# frames per second, the 640x480 top-left corner, kept as small grey
# frames) and the audio server's monitor of its default sink together,
# each stream with the wall clock as its timestamps; tests/av/avsync.py
# then gives the typical time from kick to flash. A reference player (mpv)
# playing a demorender clip of the same beats on the same rig gives the
# figure the rig itself adds: show − reference is the show's own offset.
#
#   tests/av/rig.sh clip DEMORENDER CLIP [TO] # clock 40000..TO (54000), 640x480, 60 fps (kept when present)
#   tests/av/rig.sh record OUT SECONDS        # records now, for SECONDS
#   tests/av/rig.sh reference CLIP [SECONDS]  # mpv plays CLIP while recorded (9.5 s); prints "FLASHES MS"
#   tests/av/rig.sh judge REFERENCE SHOW      # two such figures: prints show - reference, true within 45 ms
#
# Needs ffmpeg (x11grab and pulse come with Debian's) and mpv; an X display
# of at least 640x480 and a PulseAudio server. Run from the repository root.
set -eu
what=$1
shift
case $what in
clip)
    [ -s "$2" ] || "$1" --from 40000 --to "${3:-54000}" --fps 60 --size 640x480 --out "$2" 2>/dev/null
    ;;
record)
    ffmpeg -v error -y -thread_queue_size 1024 -t "$2" -f x11grab -framerate 60 -video_size 640x480 -i "$DISPLAY" \
        -thread_queue_size 1024 -t "$2" -f pulse -sample_rate 44100 -channels 2 -i @DEFAULT_MONITOR@ \
        -map 0:v -vf scale=80:60,format=gray -fps_mode passthrough -c:v rawvideo \
        -map 1:a -c:a pcm_s16le -copyts -f nut "$1"
    ;;
reference)
    out=$(mktemp --suffix=.nut)
    mpv --no-config --really-quiet --vo=x11 --ao=pulse --fs --geometry=640x480+0+0 --no-border \
        --no-osc --no-input-default-bindings "$1" </dev/null >/dev/null 2>&1 &
    player=$!
    sh "$(dirname "$0")/rig.sh" record "$out" "${2:-9.5}"
    wait "$player" || true
    python3 "$(dirname "$0")/avsync.py" "$out" || { rm -f "$out"; exit 1; }
    rm -f "$out"
    ;;
judge)
    echo "$1 $2" | awk '{ d = $4 - $2; printf "show - reference %+.1f ms (mpv: %d flashes, %.1f ms from kick to flash; show: %d, %.1f)\n", d, $1, $2, $3, $4
                         exit !($1 >= 5 && $3 >= 5 && d <= 45 && d >= -45) }'
    ;;
*)
    echo "rig.sh: clip, record, reference or judge" >&2
    exit 2
    ;;
esac
