#!/bin/sh
# The libraries the show links, built with emcc from Debian's own source
# packages into a cache folder: libjpeg-turbo (API 62, as libjpeg62-turbo),
# libogg, and libvorbis with libvorbisfile. A library whose static archive
# is already in the cache is not built again, and a prefix this machine
# built before from the same script, compiler and sources is taken whole
# (tools/debsource.sh, kept).
#
#   sh web/deps.sh CACHE     (web/build.sh runs it with build-web/deps)
#
# Leaves CACHE/prefix/include and CACHE/prefix/lib/*.a. The source trees
# stay in CACHE/src; delete CACHE to start over. Needs emscripten and the
# deb-src entry it adds itself (a file of its own in sources.list.d).
set -eu
cache=$1
mkdir -p "$cache/src" "$cache/prefix"
cache=$(cd "$cache" && pwd)
prefix=$cache/prefix
# One build of CACHE at a time: a second waits for the first (tools/roots.sh
# builds these ahead of the stage that needs them), then finds it done.
exec 9>"$cache/.lock"
flock 9

# Debian's Emscripten 3.1.6 with Node 20: the optimiser needs Node's global
# module path, and programs cmake runs while configuring need fetch off.
NODE_PATH=/usr/share/nodejs
export NODE_PATH
emulator="/usr/bin/node;--no-experimental-fetch"

. "$(dirname "$0")/../tools/debsource.sh"

# cmakebuild SOURCE BUILD [cmake options...]: a static build installed into
# the prefix.
cmakebuild() {
    src=$1 build=$2
    shift 2
    emcmake cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" "$@" >"$build.log" 2>&1 ||
        { cat "$build.log"; exit 1; }
    cmake --build "$build" -j2 >>"$build.log" 2>&1 || { tail -40 "$build.log"; exit 1; }
    cmake --install "$build" >>"$build.log" 2>&1 || { tail -40 "$build.log"; exit 1; }
}

kept=$(kept web emcc libjpeg-turbo libogg libvorbis)
takekept "$kept"
if [ ! -e "$prefix/lib/libjpeg.a" ]; then
    echo "web deps: libjpeg-turbo" >&2
    src=$(fetch libjpeg-turbo)
    cmakebuild "$src" "$cache/build-jpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DREQUIRE_SIMD=OFF
fi
if [ ! -e "$prefix/lib/libogg.a" ]; then
    echo "web deps: libogg" >&2
    src=$(fetch libogg)
    cmakebuild "$src" "$cache/build-ogg" -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
fi
if [ ! -e "$prefix/lib/libvorbisfile.a" ]; then
    echo "web deps: libvorbis" >&2
    src=$(fetch libvorbis)
    cmakebuild "$src" "$cache/build-vorbis" -DBUILD_TESTING=OFF \
        -DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a"
fi
keep "$kept"
