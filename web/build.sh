#!/bin/sh
# The show for a web browser, from one command: builds the libraries once
# (web/deps.sh, cached in build-web/deps), the program with Emscripten, and
# leaves the static site in build-web/site: index.html, demo.js, demo.wasm
# and data/lyd.ogg. Serve that folder with any static server, e.g.
#   python3 -m http.server -d build-web/site
# and the same as one self-contained file, build-web/demoplayer.html
# (web/inline.py), that plays opened from disk.
# Installs Emscripten with apt-get when it is missing.
set -eu
cd "$(dirname "$0")/.."
. tools/packages.sh
need emscripten cmake make dpkg-dev python3

# Debian's Emscripten with Node 20: the optimiser needs Node's global
# module path; programs cmake runs while configuring need fetch off.
NODE_PATH=/usr/share/nodejs
export NODE_PATH
out=build-web
sh web/deps.sh "$out/deps"
emcmake cmake -S web -B "$out/cmake" -DDEPS="$PWD/$out/deps/prefix" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="/usr/bin/node;--no-experimental-fetch" >/dev/null
cmake --build "$out/cmake" -j2

site=$out/site
rm -rf "$site"
mkdir -p "$site/data"
cp web/index.html "$out/cmake/demo.js" "$out/cmake/demo.wasm" "$site/"
cp data/lyd.ogg "$site/data/"
echo "web: site in $site ($(du -sh "$site" | cut -f1))"
python3 web/inline.py "$site" "$out/demoplayer.html"
