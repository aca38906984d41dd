#!/bin/sh
# The libraries the Windows program links, cross-built with mingw-w64 from
# Debian's own source packages into a cache folder: libjpeg-turbo (API 62),
# libogg, libvorbis with libvorbisfile as static archives, and SDL 1.2 as
# SDL.dll (its licence, the LGPL, is then met by shipping the DLL). Only the
# libraries are built, not their tools or tests. A library already in the
# cache is not built again, and a prefix this machine built before from the
# same script, compiler and sources is taken whole (tools/debsource.sh,
# kept).
#
#   sh win/deps.sh CACHE     (win/build.sh runs it with build-win/deps)
#
# Leaves CACHE/prefix/include, CACHE/prefix/lib/*.a, CACHE/prefix/bin/SDL.dll
# and the copyright files in CACHE/prefix/licenses. Delete CACHE to start over.
set -eu
cache=$1
mkdir -p "$cache/src" "$cache/prefix/include" "$cache/prefix/lib" "$cache/prefix/bin" \
    "$cache/prefix/licenses"
cache=$(cd "$cache" && pwd)
prefix=$cache/prefix
# One build of CACHE at a time: a second waits for the first (tools/roots.sh
# builds these ahead of the stage that needs them), then finds it done.
exec 9>"$cache/.lock"
flock 9
toolchain=$(cd "$(dirname "$0")" && pwd)/toolchain.cmake
. "$(dirname "$0")/../tools/debsource.sh"

# cmakebuild SOURCE BUILD TARGET [cmake options...]: configures a static
# Release build and builds the one library target.
cmakebuild() {
    src=$1 build=$2 target=$3
    shift 3
    cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >"$build.log" 2>&1 ||
        { cat "$build.log"; exit 1; }
    cmake --build "$build" --target "$target" -j2 >>"$build.log" 2>&1 ||
        { tail -40 "$build.log"; exit 1; }
}

# licence PACKAGE SOURCE: Debian's copyright file of the package.
licence() {
    cp "$2/debian/copyright" "$prefix/licenses/$1.txt"
}

kept=$(kept win x86_64-w64-mingw32-g++-posix libjpeg-turbo libogg libvorbis libsdl1.2)
takekept "$kept"
if [ ! -e "$prefix/lib/libjpeg.a" ]; then
    echo "win deps: libjpeg-turbo" >&2
    src=$(fetch libjpeg-turbo)
    b=$cache/build-jpeg
    cmakebuild "$src" "$b" jpeg-static -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DREQUIRE_SIMD=OFF
    cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$b/jconfig.h" "$prefix/include/"
    cp "$b/libjpeg.a" "$prefix/lib/"
    licence libjpeg-turbo "$src"
fi
if [ ! -e "$prefix/lib/libogg.a" ]; then
    echo "win deps: libogg" >&2
    src=$(fetch libogg)
    b=$cache/build-ogg
    cmakebuild "$src" "$b" ogg -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
    mkdir -p "$prefix/include/ogg"
    cp "$src/include/ogg/ogg.h" "$src/include/ogg/os_types.h" "$b/include/ogg/config_types.h" \
        "$prefix/include/ogg/"
    cp "$b/libogg.a" "$prefix/lib/"
    licence libogg "$src"
fi
if [ ! -e "$prefix/lib/libvorbisfile.a" ]; then
    echo "win deps: libvorbis" >&2
    src=$(fetch libvorbis)
    b=$cache/build-vorbis
    cmakebuild "$src" "$b" vorbisfile -DBUILD_TESTING=OFF \
        -DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a"
    mkdir -p "$prefix/include/vorbis"
    cp "$src/include/vorbis/codec.h" "$src/include/vorbis/vorbisfile.h" "$prefix/include/vorbis/"
    cp "$b/lib/libvorbis.a" "$b/lib/libvorbisfile.a" "$prefix/lib/"
    licence libvorbis "$src"
fi
# SDL 1.2 with its windib video driver: no audio (the show plays its own),
# no joystick, CD-ROM or DirectX parts, and standard output left alone
# (SDL would otherwise redirect it to a file beside the program).
if [ ! -e "$prefix/bin/SDL.dll" ]; then
    echo "win deps: libsdl1.2" >&2
    src=$(fetch libsdl1.2)
    b=$cache/build-sdl
    rm -rf "$b" && mkdir -p "$b"
    (cd "$b" && "$src/configure" --host=x86_64-w64-mingw32 --prefix="$prefix" \
        --disable-static --disable-stdio-redirect --disable-audio --disable-joystick \
        --disable-cdrom --disable-directx >"$b.log" 2>&1 &&
        make -j2 >>"$b.log" 2>&1 && make install-hdrs install-lib >>"$b.log" 2>&1) ||
        { tail -40 "$b.log"; exit 1; }
    licence libsdl1.2 "$src"
fi
keep "$kept"
