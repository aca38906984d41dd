#!/bin/sh
# The show for 64-bit ARM Linux, cross-built on this x86_64 machine and laid
# out as tools/release/portable.sh lays out the x86_64 folder (README.txt aside,
# which the caller adds):
#
#   demoplayer          launcher: enters the folder, runs bin/demoplayer
#   bin/demoplayer      the program (AArch64), RUNPATH $ORIGIN/../lib
#   lib/                the libraries a desktop install lacks, RUNPATH $ORIGIN
#   data/lyd.ogg        the soundtrack
#   licenses/           the bundled libraries' copyright files
#
# Built from Debian 11's arm64 packages alone (none of the host's amd64
# ones): they are unpacked into CACHE/sysroot by mmdebstrap, and clang
# compiles against that root (cmake/arm64.cmake), so the program needs
# glibc 2.31 and Debian 11's libstdc++ at most, as the x86_64 one does.
# SDL 1.2 is built from Debian 12's source package as portable.sh builds
# it, and installed into the root's /usr/local.
#
# Usage: arm64.sh CACHE SOURCE BUILD FOLDER: the folder that keeps the root
# and SDL between runs, the show's source tree, the show's build directory
# (kept, so a second run rebuilds only what changed), the folder to lay
# out. arm64.sh --sdl CACHE: the root and SDL alone (tools/roots.sh makes
# them ahead). Needs root (mmdebstrap).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ "$1" = --sdl ]; then
    cache=$2 folder=
else
    cache=$1 source=$2 build=$3 folder=$4
fi
mkdir -p "$cache/src"

. "$here/../packages.sh"
need clang binutils-aarch64-linux-gnu autotools-dev patchelf mmdebstrap qemu-user-static
. "$here/../chroot.sh"
. "$here/../roots.sh"
sysroot=$cache/sysroot
root_arm64build "$sysroot"
# What follows changes the kept root: one run at a time (a second waits,
# then finds it done).
exec 9>"$(readlink -f "$sysroot").lock-sdl"
flock 9
# Debian 11 links some development names to their libraries by absolute
# paths (libpthread.so -> /lib/...), which the linker would follow out of
# the root and then take the static library instead: made relative (the
# root's own links, not the link to the kept root that $sysroot is).
find "$sysroot/" -type l -lname '/*' | while read -r link; do
    ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$sysroot$(readlink "$link")")" "$link"
done

# SDL 1.2 with portable.sh's configuration: Debian's patches, linked to
# the X client libraries, its audio left out, the GL library loaded at run
# time.
. "$here/../debsource.sh"
sdl=$(cache=$cache fetch libsdl1.2 2>"$cache/source.log")
[ -n "$sdl" ] || { tail -n 5 "$cache/source.log"; echo "arm64: SDL 1.2's source package could not be fetched"; exit 1; }
if [ ! -f "$sysroot/usr/local/lib/libSDL-1.2.so.0" ]; then
    rm -rf "$cache/sdl" && cp -r "$sdl" "$cache/sdl"
    # Its config.sub predates aarch64: autotools-dev's current one, as
    # Debian's own build puts in.
    cp /usr/share/misc/config.sub /usr/share/misc/config.guess "$cache/sdl/build-scripts/"
    (cd "$cache/sdl" && CC="clang --target=aarch64-linux-gnu --sysroot=$sysroot" \
        ./configure --host=aarch64-linux-gnu --prefix=/usr/local --disable-static --disable-rpath \
        --enable-sdl-dlopen --disable-x11-shared --disable-audio --disable-cdrom \
        --disable-video-ggi --disable-video-svga --disable-video-aalib --disable-video-caca \
        --disable-video-directfb --disable-nas --disable-esd --disable-arts >"$cache/sdl.log" 2>&1 &&
        make -j2 >>"$cache/sdl.log" 2>&1 && make install DESTDIR="$sysroot" >>"$cache/sdl.log" 2>&1) ||
        { tail -n 30 "$cache/sdl.log"; exit 1; }
fi
exec 9>&-
[ -n "$folder" ] || exit 0

# The show, against that SDL 1.2.
cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/arm64.cmake" \
    -DARM64_ROOT="$sysroot" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_SKIP_RPATH=ON \
    -DOpenGL_GL_PREFERENCE=LEGACY -Wno-dev >"$build.log" 2>&1 || { tail -n 30 "$build.log"; exit 1; }
cmake --build "$build" --target demoplayer -j2 >>"$build.log" 2>&1 || { tail -n 30 "$build.log"; exit 1; }

rm -rf "$folder"
mkdir -p "$folder/bin" "$folder/lib" "$folder/data" "$folder/licenses"
cp "$build/demoplayer" "$folder/bin/"
aarch64-linux-gnu-strip --strip-unneeded "$folder/bin/demoplayer"
cp "$source/data/lyd.ogg" "$folder/data/"
cp "$here/release-launcher.sh" "$folder/demoplayer"
chmod 755 "$folder/demoplayer"

# portable.sh's lists for arm64: what goes into lib/, and what comes from
# the viewer's system. The root's loader, run by qemu's aarch64 emulation
# with the root as its library root, lists what the program loads (paths
# inside the root).
bundled="libSDL-1.2.so.0 libvorbisfile.so.3 libvorbis.so.0 libogg.so.0 libjpeg.so.62 libGLU.so.1"
system="linux-vdso.so.1 ld-linux-aarch64.so.1 libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1
    libstdc++.so.6 libgcc_s.so.1 libGL.so.1 libGLX.so.0 libGLdispatch.so.0
    libX11.so.6 libXext.so.6 libXrandr.so.2 libXrender.so.1 libxcb.so.1 libXau.so.6 libXdmcp.so.6
    libbsd.so.0 libmd.so.0 libasound.so.2"
QEMU_LD_PREFIX=$sysroot LD_LIBRARY_PATH=/usr/local/lib \
    qemu-aarch64-static "$sysroot/lib/ld-linux-aarch64.so.1" --list "$folder/bin/demoplayer" >"$cache/ldd.txt"
for name in $(awk '/=>/ { print $1 } /^\t\/.*ld-linux/ { print "ld-linux-aarch64.so.1" }' "$cache/ldd.txt" |
    sed 's|.*/||' | sort -u); do
    case " $(echo $bundled) " in
    *" $name "*)
        cp -L "$sysroot$(awk -v n="$name" '$1 == n { print $3; exit }' "$cache/ldd.txt")" "$folder/lib/$name"
        ;;
    *)
        case " $(echo $system) " in
        *" $name "*) ;;
        *) echo "arm64: $name is neither bundled nor a desktop's own library"; exit 1 ;;
        esac
        ;;
    esac
done
for name in $bundled; do
    [ -f "$folder/lib/$name" ] || { echo "arm64: $name was not found"; exit 1; }
done
aarch64-linux-gnu-strip --strip-unneeded "$folder/lib/libSDL-1.2.so.0"

patchelf --set-rpath '$ORIGIN/../lib' "$folder/bin/demoplayer"
for lib in "$folder"/lib/*; do
    patchelf --set-rpath '$ORIGIN' "$lib"
done

# Licences: the copyright files of the bundled libraries' Debian packages
# (the unpacked root has no package database to ask), and of SDL's source.
for pkg in libvorbisfile3 libvorbis0a libogg0 libjpeg62-turbo libglu1-mesa; do
    cp "$sysroot/usr/share/doc/$pkg/copyright" "$folder/licenses/$pkg.copyright"
done
cp "$sdl/debian/copyright" "$folder/licenses/libsdl1.2.copyright"
