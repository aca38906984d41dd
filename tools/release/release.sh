#!/bin/sh
# Makes the release in dist/: the web site and the web build's one-file
# page, the Windows program, the portable Linux build (built in a Debian 11
# chroot, so it runs with glibc 2.31 and later) and its 64-bit ARM twin
# (cross-built against Debian 11's arm64 packages), the 1080p60 video,
# README.txt and SHA256SUMS; and renders the README's stills again
# (docs/stills of the working tree). Needs root (mmdebstrap, chroot).
#
#   tools/release/release.sh [--no-web] [--no-windows]
#
# Every download README.txt lists is made, or the release fails saying
# which and why: --no-web leaves the web site and the one-file page out,
# --no-windows the Windows program. The web and Windows builds come first,
# so that a failing one fails the release before the long steps.
# Everything in dist/ is built from the last commit, exported into
# build-release/source, never from uncommitted changes: the portable build,
# the web and Windows builds (their scripts run in the exported tree, whose
# build-web/deps and build-win/deps are links to the repository's caches),
# the video and README.txt. Chroots, sources and builds are kept in
# build-release/, so a second run builds only what changed.
set -eu
noweb=false
nowin=false
for arg; do
    case $arg in
    --no-web) noweb=true ;;
    --no-windows) nowin=true ;;
    *) echo "usage: tools/release/release.sh [--no-web] [--no-windows]" >&2; exit 2 ;;
    esac
done
cd "$(dirname "$0")/../.."
root=$(pwd)
began=$(date +%s)
since() { echo "$(($(date +%s) - $1)) s"; }
fail() { echo "release: $*" >&2; exit 1; }
cache=$root/build-release
dist=$root/dist

. tools/packages.sh
need mmdebstrap rsync $BUILD_PACKAGES $CAPTURE_PACKAGES xvfb xauth x11-utils zip
. tools/chroot.sh
. tools/roots.sh

# The committed tree, exported afresh; files whose content did not change
# keep their times, so the builds below redo only what did. The web and
# Windows builds' folders in it are kept (their build trees), and their
# libraries, built from Debian's source packages, are the repository's
# caches, shared with the web and Wine stages.
source=$cache/source
rm -rf "$source.new" && mkdir -p "$source.new" "$source"
git archive HEAD | tar -x -C "$source.new"
rsync -rpc --delete --exclude=/build-web --exclude=/build-win "$source.new/" "$source/"
rm -rf "$source.new"
for build in build-web build-win; do
    mkdir -p "$root/$build/deps" "$source/$build"
    [ -L "$source/$build/deps" ] || rm -rf "$source/$build/deps"
    ln -sfn "$root/$build/deps" "$source/$build/deps"
done
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "release: uncommitted changes are not part of it; building $(git rev-parse --short HEAD)"

version=$(sed -n 's/^project(demoplayer VERSION \([0-9][0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || { echo "release: no VERSION in CMakeLists.txt's project()"; exit 1; }
name=demoplayer-$version

# 1. The web site (web/build.sh of the exported tree, into its
# build-web/site) and the one-file page it writes beside the site
# (build-web/demoplayer.html; web/inline.py stops the build when the page
# would pass 3 MiB).
rm -rf "$dist"
mkdir -p "$dist"
step=$(date +%s)
if $noweb; then
    web="left out (--no-web)"
else
    left="no web site and no one-file page (--no-web leaves them out)"
    [ -f "$source/web/build.sh" ] || fail "no web/build.sh: $left"
    rm -f "$source/build-web/demoplayer.html"
    sh "$source/web/build.sh" >"$cache/web.log" 2>&1 ||
        { tail -n 5 "$cache/web.log" >&2; fail "web/build.sh failed (build-release/web.log): $left"; }
    [ -f "$source/build-web/site/index.html" ] || fail "web/build.sh made no build-web/site/index.html: $left"
    [ -f "$source/build-web/demoplayer.html" ] || fail "web/build.sh made no build-web/demoplayer.html: $left"
    rm -rf "$cache/web" && mkdir -p "$cache/web"
    cp -r "$source/build-web/site" "$cache/web/$name-web"
    (cd "$cache/web" && zip -qrX "$dist/$name-web.zip" "$name-web")
    cp "$source/build-web/demoplayer.html" "$dist/$name.html"
    web="included, with the one-file page"
fi
echo "release: web site $web, $(since "$step")"

# 2. The Windows program, cross-built with mingw-w64 (tools/release/release-win.sh
# and win/build.sh of the exported tree), as a zip.
step=$(date +%s)
if $nowin; then
    win="left out (--no-windows)"
else
    sh "$source/tools/release/release-win.sh" "$dist" "$version" >"$cache/win.log" 2>&1 ||
        { tail -n 5 "$cache/win.log" >&2; fail "the Windows build failed (build-release/win.log): no Windows program (--no-windows leaves it out)"; }
    win="included"
fi
echo "release: Windows program $win, $(since "$step")"

# 3. The portable build, in Debian 11 with the build tools, the show's own
# development packages and the headers of the X extensions SDL loads at run
# time.
step=$(date +%s)
root_portable "$cache/bullseye"
echo "release: build chroot $(since "$step")"
step=$(date +%s)
folder=$cache/stage/$name-linux-x86_64
inchroot "$cache/bullseye" -b "$root" /bin/sh "$source/tools/release/portable.sh" "$source" "$cache/portable" "$folder"
sed "s/@VERSION@/$version/g" "$source/tools/release/release-readme.txt" >"$cache/README.txt"
cp "$cache/README.txt" "$folder/README.txt"
tarball=$dist/$name-linux-x86_64.tar.gz
tar -C "$cache/stage" --sort=name --owner=0 --group=0 --numeric-owner -cf - "$name-linux-x86_64" |
    gzip -9n >"$tarball"
echo "release: portable build $(since "$step")"

# 4. The same folder for 64-bit ARM, cross-built against Debian 11's arm64
# packages (tools/release/arm64.sh; its root and SDL kept in build-arm64/).
step=$(date +%s)
folder=$cache/stage/$name-linux-arm64
sh "$source/tools/release/arm64.sh" "$root/build-arm64" "$source" "$root/build-arm64/release" "$folder" ||
    fail "the arm64 build failed (its logs are in build-arm64/)"
cp "$cache/README.txt" "$folder/README.txt"
tar -C "$cache/stage" --sort=name --owner=0 --group=0 --numeric-owner -cf - "$name-linux-arm64" |
    gzip -9n >"$dist/$name-linux-arm64.tar.gz"
echo "release: arm64 build $(since "$step")"

# 5. The video and the stills, rendered on this machine by the exported
# tree's demorender; the stills go to the working tree's docs/stills.
step=$(date +%s)
cmake -S "$source" -B "$cache/host" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -Wno-dev >/dev/null
cmake --build "$cache/host" --target demorender -j2 >/dev/null
. tools/headless.sh
startxvfb
trap 'kill "$XPID" 2>/dev/null || true' EXIT
STILLS_BUILD=$cache/host sh tools/release/stills.sh
# The video is kept for the machine by what it is made from (the program,
# the soundtrack, ffmpeg's version): a commit that leaves the show as it
# was takes it rather than rendering every frame again.
video=$dist/$name-1080p60.mp4
key=$({ cat "$cache/host/demorender" "$source/data/lyd.ogg"; ffmpeg -version | head -n1; } | sha256sum | cut -c1-16)
kept=${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/demoplayer/video-$key.mp4
if [ -f "$kept" ]; then
    cp "$kept" "$video"
    echo "release: the video taken from $kept"
else
    (cd "$source" && "$cache/host/demorender" --out "$video" 2>"$cache/video.log") ||
        { tail -n 5 "$cache/video.log"; exit 1; }
    mkdir -p "${kept%/*}"
    find "${kept%/*}" -maxdepth 1 -name 'video-*.mp4' -mtime +0 -delete
    cp "$video" "$kept.part" && mv "$kept.part" "$kept"
fi
echo "release: stills and video $(since "$step")"

cp "$cache/README.txt" "$dist/README.txt"
(cd "$dist" && sha256sum -- *.tar.gz *.mp4 $(ls -- *.zip *.html 2>/dev/null) README.txt >SHA256SUMS)
ls -l "$dist" | awk 'NR > 1 { printf "release: %-40s %9.1f MB\n", $9, $5 / 1e6 }'
echo "release: $name in dist/, $(since "$began")"
