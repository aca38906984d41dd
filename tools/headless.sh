# Sourced by test.sh (and the benchmarks): a virtual X server and a
# PulseAudio server with a paced null sink, private to this run.

# startxvfb: a 640x480 virtual X server on a display number it picks itself;
# exports DISPLAY and sets XPID, and returns once the server answers.
startxvfb() {
    XVFB_DISPLAY_FILE=$(mktemp)
    Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp -noreset >"$XVFB_DISPLAY_FILE" 2>/dev/null &
    XPID=$!
    for _ in $(seq 100); do
        [ -s "$XVFB_DISPLAY_FILE" ] && break
        sleep 0.1
    done
    DISPLAY=":$(head -n1 "$XVFB_DISPLAY_FILE")"
    export DISPLAY
    rm -f "$XVFB_DISPLAY_FILE"
    until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done
}

startheadless() {
    startxvfb
    XVFB_PID=$XPID

    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
    pulseaudio --daemonize=yes -n --exit-idle-time=-1 --disallow-exit \
        --log-target=file:"$XDG_RUNTIME_DIR/pulse.log" \
        --load="module-null-sink sink_name=nullsink rate=44100 channels=2 norewinds=1" \
        --load="module-native-protocol-unix" </dev/null
}

stopheadless() {
    pulseaudio --kill 2>/dev/null || true
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    rm -rf "$XDG_RUNTIME_DIR"
}

# For scripts that may run alone or under test.sh: starts the servers only
# when none are given, and stops them when the script exits.
ensureheadless() {
    if [ -z "${DISPLAY:-}" ] || [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        startheadless
        trap stopheadless EXIT
    fi
}
