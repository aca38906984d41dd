#!/bin/sh
# Runs inside the Debian 11 build chroot (tools/release/release.sh starts it there):
# builds SDL 1.2 from Debian's source package and the show against it,
# and lays out the portable folder FOLDER:
#
#   demoplayer          launcher: enters the folder, runs bin/demoplayer
#   bin/demoplayer      the program, RUNPATH $ORIGIN/../lib
#   lib/                the libraries a desktop install lacks, RUNPATH $ORIGIN
#   data/lyd.ogg        the soundtrack
#   licenses/           the bundled libraries' copyright files
#
# Usage: portable.sh SOURCE WORK FOLDER: the show's source tree, a folder that
# keeps downloaded sources and the show's build between runs, the folder to
# lay out. portable.sh --sdl WORK: SDL alone (tools/roots.sh builds it ahead).
set -eu
tools=$(cd "$(dirname "$0")" && pwd)
if [ "$1" = --sdl ]; then
    source= work=$2 folder=
else
    source=$1 work=$2 folder=$3
fi
mkdir -p "$work/src"

# SDL 1.2 from Debian 12's source package, with Debian's patches, linked
# to the X client libraries as Debian links it (its run-time loading of
# them does not build against current Xlib headers). The show does its own
# sound, so SDL's audio is left out; SDL loads the GL library at run time.
# Built once into the chroot's /opt/sdl12 (the chroot is kept,
# tools/chroot.sh), its copyright file beside it; a second builder waits
# for the first, then finds it built.
prefix=/opt/sdl12
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/lib/libSDL-1.2.so.0" ] || [ ! -f "$prefix/copyright" ]; then
    if [ ! -f /etc/apt/sources.list.d/bookworm-src.list ]; then
        echo "deb-src http://deb.debian.org/debian bookworm main" >/etc/apt/sources.list.d/bookworm-src.list
        apt-get update -qq
    fi
    cd "$work/src"
    if ! ls -d libsdl1.2-*/ >/dev/null 2>&1; then
        apt-get source -qq libsdl1.2/bookworm >"$work/source.log" 2>&1 ||
            { tail -n 5 "$work/source.log"; echo "portable: SDL 1.2's source package could not be fetched"; exit 1; }
    fi
    sdl=$(ls -d "$work"/src/libsdl1.2-*/ | head -n1)
    rm -rf "$work/sdl" "$prefix" && cp -r "$sdl" "$work/sdl"
    (cd "$work/sdl" && ./configure --prefix="$prefix" --disable-static --disable-rpath \
        --enable-sdl-dlopen --disable-x11-shared --disable-audio --disable-cdrom \
        --disable-video-ggi --disable-video-svga --disable-video-aalib --disable-video-caca \
        --disable-video-directfb --disable-nas --disable-esd --disable-arts >"$work/sdl.log" 2>&1 &&
        make -j2 >>"$work/sdl.log" 2>&1 && make install >>"$work/sdl.log" 2>&1) ||
        { tail -n 30 "$work/sdl.log"; exit 1; }
    cp "$sdl/debian/copyright" "$prefix/copyright"
fi
exec 9>&-
[ -n "$folder" ] || exit 0

# The show, against that SDL 1.2.
cmake -S "$source" -B "$work/show" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_TESTING=OFF -DCMAKE_SKIP_RPATH=ON \
    -DOpenGL_GL_PREFERENCE=LEGACY -Wno-dev >"$work/show.log" 2>&1
cmake --build "$work/show" --target demoplayer -j2 >>"$work/show.log" 2>&1 || { tail -n 30 "$work/show.log"; exit 1; }

rm -rf "$folder"
mkdir -p "$folder/bin" "$folder/lib" "$folder/data" "$folder/licenses"
cp "$work/show/demoplayer" "$folder/bin/"
strip --strip-unneeded "$folder/bin/demoplayer"
cp "$source/data/lyd.ogg" "$folder/data/"
cp "$tools/release-launcher.sh" "$folder/demoplayer"
chmod 755 "$folder/demoplayer"

# What goes into lib/ and what must come from the viewer's system: the C
# and C++ runtimes (the GL driver loads the system's libstdc++ too, and an
# older bundled one would break it), the GL dispatch and driver, the X
# client libraries and ALSA. Any library in neither list stops the build.
bundled="libSDL-1.2.so.0 libvorbisfile.so.3 libvorbis.so.0 libogg.so.0 libjpeg.so.62 libGLU.so.1"
system="linux-vdso.so.1 ld-linux-x86-64.so.2 libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1
    libstdc++.so.6 libgcc_s.so.1 libGL.so.1 libGLX.so.0 libGLdispatch.so.0 libOpenGL.so.0
    libX11.so.6 libXext.so.6 libXrandr.so.2 libXrender.so.1 libxcb.so.1 libXau.so.6 libXdmcp.so.6
    libbsd.so.0 libmd.so.0 libasound.so.2"
LD_LIBRARY_PATH="$prefix/lib" ldd "$folder/bin/demoplayer" >"$work/ldd.txt"
for name in $(awk '/=>/ { print $1 } /^\t\/.*ld-linux/ { print "ld-linux-x86-64.so.2" }' "$work/ldd.txt" |
    sed 's|.*/||' | sort -u); do
    case " $(echo $bundled) " in
    *" $name "*)
        cp -L "$(awk -v n="$name" '$1 == n { print $3; exit }' "$work/ldd.txt")" "$folder/lib/$name"
        ;;
    *)
        case " $(echo $system) " in
        *" $name "*) ;;
        *) echo "portable: $name is neither bundled nor a desktop's own library"; exit 1 ;;
        esac
        ;;
    esac
done
for name in $bundled; do
    [ -f "$folder/lib/$name" ] || { echo "portable: $name was not found"; exit 1; }
done
strip --strip-unneeded "$folder/lib/libSDL-1.2.so.0"

# Each library finds its neighbours in lib/, the program finds lib/ beside
# bin/, wherever the folder is unpacked.
patchelf --set-rpath '$ORIGIN/../lib' "$folder/bin/demoplayer"
for lib in "$folder"/lib/*; do
    patchelf --set-rpath '$ORIGIN' "$lib"
done

# Licences: Debian's copyright file of each bundled library's package, and
# of the one built here from its source package.
for lib in libvorbisfile.so.3 libvorbis.so.0 libogg.so.0 libjpeg.so.62 libGLU.so.1; do
    file=$(readlink -f "$(awk -v n="$lib" '$1 == n { print $3; exit }' "$work/ldd.txt")")
    pkg=$(dpkg -S "*/$(basename "$file")" | head -n1 | cut -d: -f1)
    cp "/usr/share/doc/$pkg/copyright" "$folder/licenses/$pkg.copyright"
done
cp "$prefix/copyright" "$folder/licenses/libsdl1.2.copyright"
