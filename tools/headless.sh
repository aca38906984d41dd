# Sourced by test.sh (and the benchmarks): a virtual X server and a
# PulseAudio server with a paced null sink, private to this run. Every wait
# has a limit: a server that does not come up stops the run with a message
# naming it, instead of hanging it.

# waitfor <tenths of a second> <command...>: true once the command
# succeeds, false when the time is up.
waitfor() {
    _tries=$1
    shift
    while ! "$@" >/dev/null 2>&1; do
        _tries=$((_tries - 1))
        [ "$_tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# startxvfb [WIDTHxHEIGHT]: a virtual X server, 640x480 unless a size is
# given, on a display number it picks itself; exports DISPLAY and sets
# XPID, and returns once the server answers (within 10 s, else the run
# stops).
startxvfb() {
    XVFB_DISPLAY_FILE=$(mktemp)
    Xvfb -displayfd 1 -screen 0 "${1:-640x480}x24" -nolisten tcp -noreset >"$XVFB_DISPLAY_FILE" 2>/dev/null &
    XPID=$!
    if ! waitfor 100 test -s "$XVFB_DISPLAY_FILE"; then
        rm -f "$XVFB_DISPLAY_FILE"
        kill "$XPID" 2>/dev/null || true
        echo "headless: Xvfb did not start within 10 s (is the xvfb package installed?)" >&2
        exit 1
    fi
    DISPLAY=":$(head -n1 "$XVFB_DISPLAY_FILE")"
    export DISPLAY
    rm -f "$XVFB_DISPLAY_FILE"
    if ! waitfor 100 xdpyinfo; then
        kill "$XPID" 2>/dev/null || true
        echo "headless: Xvfb on $DISPLAY did not answer within 10 s" >&2
        exit 1
    fi
}

# startheadless [WIDTHxHEIGHT]: both servers, the X server's screen as
# startxvfb makes it.
startheadless() {
    startxvfb "${1:-}"
    XVFB_PID=$XPID

    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
    # The daemon returns once it serves (or has failed); the timeout
    # catches one that never returns.
    if ! timeout 30 pulseaudio --daemonize=yes -n --exit-idle-time=-1 --disallow-exit \
        --log-target=file:"$XDG_RUNTIME_DIR/pulse.log" \
        --load="module-null-sink sink_name=nullsink rate=44100 channels=2 norewinds=1" \
        --load="module-native-protocol-unix" </dev/null ||
        ! waitfor 100 pactl info; then
        echo "headless: the PulseAudio server did not start within 30 s; its log:" >&2
        cat "$XDG_RUNTIME_DIR/pulse.log" >&2 2>/dev/null || true
        stopheadless
        exit 1
    fi
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
