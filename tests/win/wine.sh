# Sourced by tests/stages/75-wine.sh and bench/wine.sh: running the Windows
# build under Wine on the headless servers (tools/headless.sh), and judging
# what it did. Wine is run as wine64 itself: /usr/bin/wine asks for the
# 32-bit Wine, which the 64-bit program does not need.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Quiet, and no offer to install Wine's .NET and browser parts.
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG WINEDLLOVERRIDES

# makeprefix: a fresh Wine prefix in a temporary folder (about 700 MB; 10
# to 20 s), exported as WINEPREFIX. Its windows are left unmanaged: with no
# window manager, Wine would wait about 2 s for each hidden window.
makeprefix() {
    WINEPREFIX=$(mktemp -d)/prefix
    export WINEPREFIX
    "$WINE" wineboot -i >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

# removeprefix: ends what still runs in the prefix and deletes it, with
# the folder its server left in /tmp (named after the prefix's device and
# inode, in hexadecimal).
removeprefix() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    _server=server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")
    for _dir in /tmp/wine-*/"$_server"; do
        [ -d "$_dir" ] || continue
        rm -rf "$_dir"
        rmdir "$(dirname "$_dir")" 2>/dev/null || true
    done
    rm -rf "$(dirname "$WINEPREFIX")"
}

# startshow FOLDER OUT [VAR=VALUE...]: starts FOLDER/demoplayer.exe from
# FOLDER with its standard output in OUT (Wine's own messages in OUT.err)
# and the variables added to the environment; SHOW is its process (Wine
# runs the program in it).
startshow() {
    _folder=$1 _out=$2
    shift 2
    (cd "$_folder" && exec env "$@" "$WINE" ./demoplayer.exe >"$_out" 2>"$_out.err") &
    SHOW=$!
}

# waitshow TENTHS: true once the show has ended within TENTHS tenths of a
# second, with its status in SHOWSTATUS; otherwise ends it and is false.
waitshow() {
    if waitfor "$1" sh -c "! kill -0 $SHOW"; then
        SHOWSTATUS=0
        wait "$SHOW" || SHOWSTATUS=$?
        return 0
    fi
    kill "$SHOW" 2>/dev/null || true
    wait "$SHOW" 2>/dev/null || true
    SHOWSTATUS=none
    return 1
}

# waitwindow TITLE TENTHS: true once a window of that title is shown.
waitwindow() {
    waitfor "$2" xdotool search --onlyvisible --name "^$1\$"
}

# framejudge A B: two 640x480 raw RGB frames. Prints how they differ; true
# when identical or within the limits the browser's frames are held to:
# every channel's mean difference at most 1 (of 255), and at most 0.05 %
# of the pixels more than 24 apart in any channel.
framejudge() {
    if cmp -s "$1" "$2"; then
        echo "identical"
        return 0
    fi
    cmp -l "$1" "$2" | awk -v pixels=307200 '
        function octal(s,  v, k) {
            v = 0
            for (k = 1; k <= length(s); k++) v = v * 8 + substr(s, k, 1)
            return v
        }
        {
            i = $1 - 1
            d = octal($2) - octal($3)
            if (d < 0) d = -d
            sum[i % 3] += d
            if (d > 24) far[int(i / 3)] = 1
        }
        END {
            n = 0
            for (p in far) n++
            ok = n <= pixels * 0.0005
            for (c = 0; c < 3; c++) ok = ok && sum[c] / pixels <= 1
            printf "mean difference %.3f %.3f %.3f, %d pixels more than 24 apart\n",
                sum[0] / pixels, sum[1] / pixels, sum[2] / pixels, n
            exit !ok
        }'
}

# soundframes FILE: the stereo frames of a raw s16le recording that are
# not silent. The soundtrack has no silent frame in its first 30 s, so
# recorded from the null sink's monitor they count the frames of it the
# sink played, and not the silence it plays when the stream runs dry.
soundframes() {
    od -An -v -tx4 -w4 "$1" | grep -vc '^ *00000000$'
}

# clockjudge FILE FRAMES: clockrun's lines ("<monotonic ns> <clock>", every
# 10 ms), and the frames of the soundtrack the null sink played meanwhile
# (soundframes). Prints the figures; true when the clock never steps back,
# has grown by 1616.67 units a second of that sound within 1 %, and is
# never more than 0.2 s of sound ahead of the time since the device was
# opened (Wine counts sound as played once the audio server has taken it,
# which starts the clock about 80 ms ahead; that lead, still in the last
# reading, makes the rate over 20 s read up to about 0.5 % high). The
# median of its per-second rates against the machine's clock is printed
# too: on a busy machine Wine's 100 ms of buffer in the audio server runs
# dry now and then, the sink plays silence and the clock rightly waits,
# so that figure may be lower without a fault.
clockjudge() {
    awk -v frames="$2" '
        NR == 1 { t0 = $1 }
        {
            t[n] = ($1 - t0) / 1e9
            c[n] = $2 + 0
            if (n > 0 && c[n] < c[n - 1]) back++
            a = c[n] / 1616.67 - t[n]
            if (a > ahead) ahead = a
            n++
        }
        END {
            i = 0
            for (k = 1; k + 1 <= t[n - 1]; k++) {
                while (t[i] < k) i++
                j = i
                while (t[j] < k + 1) j++
                r[m++] = (c[j] - c[i]) / (t[j] - t[i])
            }
            for (x = 1; x < m; x++)
                for (y = x; y > 0 && r[y - 1] > r[y]; y--) { s = r[y]; r[y] = r[y - 1]; r[y - 1] = s }
            median = m % 2 ? r[int(m / 2)] : (r[m / 2 - 1] + r[m / 2]) / 2
            played = frames / 44100
            rate = played > 0 ? c[n - 1] / played : 0
            d = rate / 1616.67 - 1
            printf "%d units over %.2f s of sound (%.1f units/s, %+.2f %%), " \
                "median per wall-clock second %.1f, at most %.0f ms ahead, %d steps back\n",
                c[n - 1], played, rate, d * 100, median, ahead * 1000, back
            exit !(played >= 10 && back == 0 && d <= 0.01 && d >= -0.01 && ahead <= 0.2)
        }' "$1"
}

# imports FILE: the DLLs a Windows program or DLL imports, one a line.
imports() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

# manifest FILE: the manifest embedded in a Windows program (resource type
# 24, RT_MANIFEST), read from its .rsrc section at the place the resource
# directory names; nothing when it has none.
manifest() {
    _dump=$(x86_64-w64-mingw32-objdump -p "$1")
    _base=$(echo "$_dump" | sed -n 's/^Entry 2 \([0-9a-f]*\) .*Resource Directory.*/\1/p')
    _leaf=$(echo "$_dump" | sed -n '/Entry: ID: 0x000018,/,/Leaf:/s/.*Leaf: Addr: \(0x[0-9a-f]*\), Size: \(0x[0-9a-f]*\).*/\1 \2/p')
    [ -n "$_base" ] && [ -n "$_leaf" ] || return 0
    _rsrc=$(mktemp)
    x86_64-w64-mingw32-objcopy -O binary --only-section=.rsrc "$1" "$_rsrc"
    set -- $_leaf
    tail -c +$(($1 - 0x$_base + 1)) "$_rsrc" | head -c $(($2))
    rm -f "$_rsrc"
}

# answerbox TITLE TENTHS: waits for a window of that title (a message box)
# and clicks its OK button (the middle of its bottom edge) until the
# program SHOW has ended; true when a box was shown. Not a key: after a
# box was answered with a Return sent to it, Wine closed every later box
# of the session by itself within a second, as if that key were pressed
# there too (a key sent to a window closes it on the press, its release
# coming to a window already gone); with a click, or no answer at all,
# later boxes stay until answered.
answerbox() {
    waitwindow "$1" "$2" || return 1
    # A box still being drawn may miss a click: clicked again until it ends.
    _tries=50
    while kill -0 "$SHOW" 2>/dev/null && [ "$_tries" -gt 0 ]; do
        for _box in $(xdotool search --onlyvisible --name "^$1\$"); do
            _size=$(xdotool getwindowgeometry --shell "$_box" 2>/dev/null) || continue
            _width=$(echo "$_size" | sed -n 's/^WIDTH=//p')
            _height=$(echo "$_size" | sed -n 's/^HEIGHT=//p')
            xdotool mousemove --window "$_box" $((_width / 2)) $((_height - 18)) click 1 2>/dev/null || true
        done
        sleep 0.2
        _tries=$((_tries - 1))
    done
}
