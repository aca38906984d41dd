#!/bin/sh
# The browser build unoptimised (-O0: CMAKE_BUILD_TYPE=Debug instead of
# web/CMakeLists.txt's default Release), in Chromium: proves that
# web/pausable.txt names every function the decoder's pauses pass through
# when nothing is inlined (tests/web/unoptimised.js). Builds build-web/O0
# with the libraries web/build.sh cached in build-web/deps, and serves it
# as a site of its own in build-web/O0/site.
#
# Run by test.sh --full with its X and audio servers; run alone, it starts
# its own.
set -eu
cd "$(dirname "$0")/../.."
began=$(date +%s)
. tools/packages.sh
need emscripten cmake make dpkg-dev chromium xvfb xauth x11-utils pulseaudio
command -v npm >/dev/null || need nodejs npm

# As web/build.sh: the optimiser needs Node's global module path, and
# programs cmake runs while configuring need fetch off.
NODE_PATH=/usr/share/nodejs
export NODE_PATH
sh web/deps.sh build-web/deps
out=build-web/O0
emcmake cmake -S web -B "$out" -DCMAKE_BUILD_TYPE=Debug -DDEPS="$PWD/build-web/deps/prefix" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="/usr/bin/node;--no-experimental-fetch" >/dev/null
cmake --build "$out" -j2 >/dev/null
rm -rf "$out/site"
mkdir -p "$out/site/data"
cp web/index.html "$out/demo.js" "$out/demo.wasm" "$out/site/"
cp data/lyd.ogg "$out/site/data/"
(cd tests/web && npm ci --no-audit --no-fund >/dev/null)
echo "unoptimised web stage: built in $(($(date +%s) - began)) s"

. tools/headless.sh
own=
server=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    [ -z "$own" ] || stopheadless
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] || [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    startheadless
    own=yes
fi
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server -b 127.0.0.1 -d "$out/site" "$port" >/dev/null 2>&1 &
server=$!
until python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null; do
    sleep 0.2
done
status=0
SITE_URL="http://127.0.0.1:$port/" WEB_BROWSER=chromium node tests/web/unoptimised.js || status=1
echo "unoptimised web stage: $(($(date +%s) - began)) s"
exit $status
