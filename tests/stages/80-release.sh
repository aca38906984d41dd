#!/bin/sh
# The release where viewers meet it. Makes it with tools/release/release.sh unless
# dist/ already holds this version's files (delete dist/ to test a fresh
# one), then checks:
# - the Linux tarball, unpacked in minimal Debian 12 and 13 chroots that
#   hold a desktop's runtime only (Mesa's GL and DRI driver, ALSA and its
#   PulseAudio plugin, the X client libraries) and none of the show's
#   libraries, on a private X server and the audio server, both reached
#   through their sockets bound into the chroot: ldd finds every library,
#   the show plays and draws, a held Escape ends it with "zOT!" and status
#   0, every library it maps comes from a chroot package or the bundle, and
#   without its soundtrack it says so with status 1;
# - the bundle itself: run paths, and nothing newer than glibc 2.31 needed;
# - the web archive, unpacked and served, passes the web build's browser test;
# - the web build's one-file page, when the release has one: at most 3 MiB,
#   in SHA256SUMS and README.txt;
# - the video: 1920x1080, 60 fps, H.264 + AAC, the show's length;
# - the checksums.
# Chroots are kept in build-release/ (made on the first run, 4-6 min each,
# while the release is made).
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
began=$(date +%s)
since() { echo "$(($(date +%s) - $1)) s"; }
fail() { echo "release stage: $*"; exit 1; }

. tools/packages.sh
need mmdebstrap xvfb x11-utils x11-apps xdotool imagemagick ffmpeg binutils unzip \
    pulseaudio chromium
command -v npm >/dev/null || need nodejs npm
. tools/chroot.sh
. tools/roots.sh
. tools/headless.sh
convert=/usr/bin/convert

version=$(sed -n 's/^project(demoplayer VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
name=demoplayer-$version
cache=$root/build-release
dist=$root/dist

# A desktop's runtime, nothing of the show (tools/roots.sh, root_desktop).
# The chroots are made (when missing) while the release is made: mostly
# downloads and unpacking, they leave the processors to the release's
# builds and video.
makers=""
mkdir -p "$cache"
for suite in bookworm trixie; do
    (root_desktop "$cache/$suite" "$suite" >"$cache/$suite.make.log" 2>&1) &
    makers="$makers $!"
done
# A release whose web build fails fails at once, saying why: the release
# command run on a scratch clone of this commit whose web/build.sh fails,
# with an mmdebstrap that fails too, so that a release going on past the
# web step stops at its chroot instead of building one.
step=$(date +%s)
scratch=$(mktemp -d)
git clone -q "$root" "$scratch/repo" && git -C "$scratch/repo" checkout -q "$(git rev-parse HEAD)"
printf '#!/bin/sh\nexit 1\n' >"$scratch/repo/web/build.sh"
mkdir "$scratch/bin" && cp "$scratch/repo/web/build.sh" "$scratch/bin/mmdebstrap"
git -C "$scratch/repo" -c user.name=stage -c user.email=stage@localhost commit -qam "web build fails"
if PATH=$scratch/bin:$PATH sh "$scratch/repo/tools/release/release.sh" >"$scratch/out" 2>&1; then
    fail "a release whose web build failed succeeded"
fi
grep -q "^release: web/build.sh failed" "$scratch/out" ||
    { cat "$scratch/out"; fail "a failing web build did not fail the release with its reason"; }
rm -rf "$scratch"
echo "release stage: a failing web build fails the release, $(since "$step")"
if [ ! -f "$dist/SHA256SUMS" ] || [ ! -f "$dist/$name-linux-x86_64.tar.gz" ]; then
    step=$(date +%s)
    sh tools/release/release.sh
    echo "release stage: release made in $(since "$step")"
fi
step=$(date +%s)
for maker in $makers; do
    wait "$maker" || { cat "$cache"/*.make.log; fail "a test chroot could not be made"; }
done
echo "release stage: test chroots ready $(since "$step") after the release"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "checksums do not match"
tarball=$dist/$name-linux-x86_64.tar.gz
size=$(stat -c %s "$tarball")
[ "$size" -le 8000000 ] || fail "tarball is $size bytes, over 8 MB"
# The downloads the release's README.txt lists are all there: a release
# that lost one (its build failed) fails here.
page=$dist/$name.html
[ -f "$page" ] || fail "the release has no one-file page $name.html (build-release/web.log says why)"
size=$(stat -c %s "$page")
[ "$size" -le 3145728 ] || fail "$name.html is $size bytes, over 3 MiB"
grep -q "^[0-9a-f]\{64\}  $name\.html\$" "$dist/SHA256SUMS" || fail "$name.html is not in SHA256SUMS"
grep -q "^$name\.html\$" "$dist/README.txt" || fail "README.txt does not name $name.html"
echo "release stage: one-file page $name.html, $size bytes, in SHA256SUMS and README.txt"
for zip in "$name-web.zip" "$name-windows-x86_64.zip"; do
    [ -f "$dist/$zip" ] || fail "the release has no $zip (build-release/web.log or win.log says why)"
done

if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -S "$XDG_RUNTIME_DIR/pulse/native" ]; then
    startheadless
fi
work=$(mktemp -d)
# The show's own X server, so a held Escape reaches nothing else.
startxvfb
xpid=$XPID
cleanup() {
    kill "$xpid" "${serverpid:-}" 2>/dev/null || true
    rm -rf "$work"
}
trap 'cleanup; [ -z "${XVFB_PID:-}" ] || stopheadless' EXIT

# The bundle: the program looks in ../lib, each library beside itself, and
# nothing needs a C library newer than Debian 11's.
mkdir "$work/unpacked"
tar -xzf "$tarball" -C "$work/unpacked"
folder=$work/unpacked/$name-linux-x86_64
[ -x "$folder/demoplayer" ] && [ -f "$folder/data/lyd.ogg" ] || fail "launcher or soundtrack missing"
readelf -d "$folder/bin/demoplayer" | grep -q 'RUNPATH.*\[\$ORIGIN/../lib\]' || fail "program's run path"
for lib in "$folder"/lib/*; do
    readelf -d "$lib" | grep -q 'RUNPATH.*\[\$ORIGIN\]' || fail "run path of $lib"
done
newest=$(objdump -T "$folder/bin/demoplayer" "$folder"/lib/* | grep -o 'GLIBC_2\.[0-9]*' | sort -uV | tail -n1)
case "$newest" in
GLIBC_2.[0-9] | GLIBC_2.[12][0-9] | GLIBC_2.3[01]) ;;
*) fail "the bundle needs $newest, newer than glibc 2.31" ;;
esac
echo "release stage: bundle $(ls "$folder/lib" | tr '\n' ' ')needs at most $newest"

bundled="libSDL-1.2.so.0 libGLU.so.1 libjpeg.so.62 libvorbisfile.so.3 libvorbis.so.0 libogg.so.0"

# run SUITE SHELL-COMMAND: runs it in the chroot with the X and audio
# sockets bound in; its output goes to $work/out and $work/err.
run() {
    CHROOT_ENV="DISPLAY=$DISPLAY XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" \
        inchroot "$cache/$1" -b /tmp/.X11-unix -b "$XDG_RUNTIME_DIR" /bin/sh -c "$2" \
        >"$work/out" 2>"$work/err"
}

check() {
    suite=$1
    # The root's own path (the suite's folder links to the machine's kept
    # root): the show's /proc entries name the files by it.
    chroot=$(readlink -f "$cache/$suite")
    step=$(date +%s)
    # The default sound device goes to the audio server, as a desktop's
    # sound server sets it.
    mkdir -p "$chroot/etc/alsa/conf.d"
    printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' \
        >"$chroot/etc/alsa/conf.d/99-desktop-sound.conf"
    # ALSA's plugins bring some of the show's libraries along on a desktop
    # too; the show must load the bundle's all the same.
    own=$(cd "$chroot/usr/lib/x86_64-linux-gnu" && ls $bundled 2>/dev/null | tr '\n' ' ')
    rm -rf "$chroot/opt/show"
    mkdir -p "$chroot/opt/show"
    tar -xzf "$tarball" -C "$chroot/opt/show"
    dir=/opt/show/$name-linux-x86_64

    run "$suite" "ldd $dir/bin/demoplayer $dir/lib/*" || fail "$suite: ldd failed"
    ! grep -q 'not found' "$work/out" || { cat "$work/out"; fail "$suite: ldd misses a library"; }
    for lib in $bundled; do
        grep -Eq "^	$lib => $dir/(bin/\.\./)?lib/$lib " "$work/out" || fail "$suite: $lib is not taken from the bundle"
    done

    # The show, started from elsewhere through the launcher.
    run "$suite" "cd / && exec $dir/demoplayer" &
    runner=$!
    pid=""
    for _ in $(seq 100); do
        for p in /proc/[0-9]*; do
            [ "$(readlink "$p/exe" 2>/dev/null)" = "$chroot$dir/bin/demoplayer" ] && pid=${p#/proc/}
        done
        [ -n "$pid" ] && break
        sleep 0.1
    done
    [ -n "$pid" ] || { cat "$work/out" "$work/err"; fail "$suite: the show did not start"; }
    # A few seconds in, the tube has opened.
    sleep 5
    kill -0 "$pid" 2>/dev/null || { cat "$work/out" "$work/err"; fail "$suite: the show stopped early"; }
    cp "/proc/$pid/maps" "$work/maps"
    xwd -root -silent >"$work/shot.xwd"
    xdotool keydown Escape
    waited=0
    while kill -0 "$runner" 2>/dev/null && [ "$waited" -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -9 "$pid" 2>/dev/null || true
    status=0
    wait "$runner" || status=$?
    xdotool keyup Escape
    [ "$status" -eq 0 ] && printf 'zOT!' | cmp -s - "$work/out" ||
        { cat "$work/err"; fail "$suite: Escape gave status $status, said '$(cat "$work/out")'"; }
    light=$("$convert" "$work/shot.xwd" -format '%[fx:mean]' info:)
    awk -v l="$light" 'BEGIN { exit !(l > 0.02) }' || fail "$suite: the screen is black (mean $light)"

    # Every shared object it mapped is in the bundle or in a package of the
    # chroot (the same file: the package's path resolves to it).
    awk '$6 ~ /\.so/ { print $6 }' "$work/maps" | sort -u >"$work/mapped"
    : >"$work/system"
    while read -r path; do
        case "$path" in
        "$chroot$dir"/lib/*) ;;
        "$chroot"/*) echo "${path#"$chroot"}" >>"$work/system" ;;
        *) fail "$suite: the show mapped $path from outside the chroot" ;;
        esac
    done <"$work/mapped"
    for lib in $bundled; do
        grep -qx "$chroot$dir/lib/$lib" "$work/mapped" || fail "$suite: $lib from the bundle was not loaded"
        ! grep -v "^$chroot$dir/" "$work/mapped" | grep -q "/$lib" || fail "$suite: the chroot's $lib was loaded too"
    done
    run "$suite" 'while read -r f; do
            for p in $(dpkg -S "*/${f##*/}" 2>/dev/null | sed "s/.*: //"); do
                [ "$(readlink -f "$p")" = "$f" ] && continue 2
            done
            echo "$f"
        done' <"$work/system" || fail "$suite: dpkg failed"
    [ ! -s "$work/out" ] || { cat "$work/out"; fail "$suite: libraries from no package of the chroot"; }
    echo "release stage: $suite: plays, ends on Escape, screen lit ($light), $(wc -l <"$work/mapped") libraries from the chroot and the bundle (the chroot's own $(echo ${own:-none}) not loaded)"

    # Without the soundtrack, through a link to the launcher.
    mv "$chroot$dir/data/lyd.ogg" "$chroot/opt/show/lyd.ogg"
    ln -sf "$dir/demoplayer" "$chroot/usr/local/bin/demoplayer"
    status=0
    run "$suite" "cd /tmp && exec /usr/local/bin/demoplayer" || status=$?
    mv "$chroot/opt/show/lyd.ogg" "$chroot$dir/data/lyd.ogg"
    rm -f "$chroot/usr/local/bin/demoplayer"
    [ "$status" -eq 1 ] && printf 'fuck, fikk ikke \345pnet ikke data/lyd.ogg.\n' | cmp -s - "$work/out" ||
        fail "$suite: without the soundtrack: status $status, said '$(cat "$work/out")'"
    echo "release stage: $suite done, $(since "$step")"
}

check bookworm
check trixie

# The web archive: unpacked, served, and put through the web build's
# browser test of the page as a viewer meets it (tests/web/show.js, which
# compares frames with this release's native demorender).
step=$(date +%s)
zip=$dist/$name-web.zip
unzip -q "$zip" -d "$work/web"
site=$work/web/$name-web
for f in index.html demo.js demo.wasm data/lyd.ogg; do
    [ -f "$site/$f" ] || fail "web archive lacks $f"
done
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server -b 127.0.0.1 -d "$site" "$port" >/dev/null 2>&1 &
serverpid=$!
until python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null; do
    sleep 0.2
done
(cd tests/web && [ -d node_modules/puppeteer-core ] || npm ci --no-audit --no-fund >/dev/null)
SITE_URL="http://127.0.0.1:$port/" DEMORENDER=$cache/host/demorender node tests/web/show.js ||
    fail "the web archive fails the browser test"
echo "release stage: web archive passes the browser test, $(since "$step")"

# The video.
video=$dist/$name-1080p60.mp4
ffprobe -v error -show_entries stream=codec_type,codec_name,width,height,avg_frame_rate \
    -show_entries format=duration -of default=noprint_wrappers=1 "$video" >"$work/probe"
for want in codec_name=h264 width=1920 height=1080 avg_frame_rate=60/1 codec_name=aac; do
    grep -qx "$want" "$work/probe" || { cat "$work/probe"; fail "video: no $want"; }
done
duration=$(sed -n 's/^duration=//p' "$work/probe")
awk -v d="$duration" 'BEGIN { exit !(d > 103 && d < 106) }' || fail "video lasts $duration s, not about 104"
echo "release stage: video 1920x1080, 60 fps, H.264 + AAC, $duration s"
echo "release stage: $(since "$began")"
