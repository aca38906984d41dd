#!/bin/sh
# The 64-bit ARM release where it will run: the tarball of dist/ when the
# release made it, else one made here by tools/release/arm64.sh from the
# working tree, unpacked into a folder with a space in its name and run
# under qemu's aarch64 emulation with a minimal Debian 13 arm64 root as the
# library root (Mesa's GL and DRI driver, ALSA with its PulseAudio plugin,
# the X client libraries; none of the show's libraries), reaching the X and
# audio servers test.sh started through their sockets. Checks:
# - every ELF file in it is AArch64, the program needs nothing but the
#   bundle and the system's C and C++ runtimes, libGL, the X client
#   libraries and libasound, nothing newer than glibc 2.31 and Debian 11's
#   libstdc++, and the run paths are the x86_64 folder's;
# - started from elsewhere through the launcher it plays the whole show to
#   "zOT!" with status 0 (llvmpipe under emulation draws few frames; the
#   clock is the sound's, so it ends on time);
# - the frames at a few clock values, from demorender built for arm64 from
#   the tarball's own source, are the x86_64 demorender's within 1/255 per
#   channel on average;
# - without its soundtrack it says so with status 1.
# Roots and builds are kept in build-arm64/.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
began=$(date +%s)
since() { echo "$(($(date +%s) - $1)) s"; }
fail() { echo "arm64 stage: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap, binfmt_misc)"
. tools/packages.sh
need qemu-user-static mmdebstrap binutils imagemagick ffmpeg xdotool || fail "packages could not be installed"
. tools/chroot.sh
. tools/roots.sh
convert=/usr/bin/convert
version=$(sed -n 's/^project(demoplayer VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
name=demoplayer-$version-linux-arm64
cache=$root/build-arm64

step=$(date +%s)
runtime=$cache/runtime
root_arm64desktop "$runtime" || fail "the arm64 run-time root could not be made"
# Debian 13 ships its files under /usr alone, and the links a system's
# merged /usr has (/lib -> usr/lib, where the loader is looked for) are
# made by packages' scripts, which makeroot does not run.
for dir in bin lib sbin; do
    [ -e "$runtime/$dir" ] || ln -s "usr/$dir" "$runtime/$dir"
done
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$runtime/etc/alsa/conf.d/99-desktop-sound.conf"
# The tarball of dist/, with demorender for the frames built in the
# release's own arm64 build (the same commit, its show already compiled);
# when dist/ has none, the show built from this tree against the release's
# arm64 root and SDL, and its tarball.
tarball=$root/dist/$name.tar.gz
build=$cache/release
if [ ! -f "$tarball" ] || [ ! -f "$build/CMakeCache.txt" ]; then
    build=$cache/show
    sh tools/release/arm64.sh "$cache" "$root" "$build" "$cache/stage/$name" || fail "the arm64 build failed"
    tarball=$cache/$name.tar.gz
    tar -C "$cache/stage" --sort=name --owner=0 --group=0 --numeric-owner -czf "$tarball" "$name"
fi
cmake --build "$build" --target demorender -j2 >"$cache/demorender.log" 2>&1 ||
    { tail -n 20 "$cache/demorender.log"; fail "demorender for arm64 did not build"; }
echo "arm64 stage: roots and builds $(since "$step"), testing $tarball"

# Programs for aarch64 run under qemu with the run-time root as their
# library root, children too (the launcher execs the program).
binfmt=/proc/sys/fs/binfmt_misc
{ [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"; } &&
    { [ -e "$binfmt/qemu-aarch64" ] || printf '%s' ':qemu-aarch64:M::\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-aarch64-static:F' >"$binfmt/register"; } &&
    { [ "$(head -n1 "$binfmt/qemu-aarch64")" = enabled ] || echo 1 >"$binfmt/qemu-aarch64"; } ||
    fail "qemu's aarch64 emulation could not be registered with binfmt_misc"
QEMU_LD_PREFIX=$runtime
export QEMU_LD_PREFIX

. tools/headless.sh
ensureheadless
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/a folder"
tar -xzf "$tarball" -C "$work/a folder"
folder="$work/a folder/$name"

# The files: AArch64 throughout, the run paths, the libraries needed.
system="ld-linux-aarch64.so.1 libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 libstdc++.so.6
    libgcc_s.so.1 libGL.so.1 libX11.so.6 libXext.so.6 libXrandr.so.2 libXrender.so.1 libasound.so.2"
for file in "$folder/bin/demoplayer" "$folder"/lib/*; do
    readelf -h "$file" | grep -q 'Machine:.*AArch64' || fail "${file#"$folder/"} is not an AArch64 file"
    readelf -d "$file" | grep -q "RUNPATH.*\[\$ORIGIN$([ "${file##*/}" = demoplayer ] && echo /../lib)\]" ||
        fail "run path of ${file#"$folder/"}"
    for lib in $(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        [ -f "$folder/lib/$lib" ] || case " $(echo $system) " in *" $lib "*) ;;
        *) fail "${file#"$folder/"} needs $lib, neither bundled nor the system's" ;; esac
    done
done
newest=$(objdump -T "$folder/bin/demoplayer" "$folder"/lib/* | grep -o 'GLIBC_2\.[0-9]*' | sort -uV | tail -n1)
cxx=$(objdump -T "$folder/bin/demoplayer" "$folder"/lib/* | grep -o 'GLIBCXX_3\.4\.[0-9]*' | sort -uV | tail -n1)
case "$newest" in GLIBC_2.[0-9] | GLIBC_2.[12][0-9] | GLIBC_2.3[01]) ;; *) fail "the bundle needs $newest, newer than glibc 2.31" ;; esac
case "$cxx" in GLIBCXX_3.4 | GLIBCXX_3.4.[0-9] | GLIBCXX_3.4.1[0-9] | GLIBCXX_3.4.2[0-8]) ;;
*) fail "the program needs $cxx, newer than Debian 11's libstdc++" ;; esac
echo "arm64 stage: AArch64 files, bundle $(ls "$folder/lib" | tr '\n' ' ')needs at most $newest and $cxx"

# The whole show, through the launcher, from elsewhere.
step=$(date +%s)
status=0
(cd / && timeout 300 "$folder/demoplayer") >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 0 ] && printf 'zOT!' | cmp -s - "$work/out" ||
    { tail -n 5 "$work/err"; fail "the show ended with status $status, said '$(cat "$work/out")'"; }
played=$(($(date +%s) - step))
[ "$played" -ge 100 ] && [ "$played" -le 160 ] || fail "the show took $played s, not 104 and its start under emulation"
echo "arm64 stage: the whole show played in $played s and said zOT!"

# Frames against the x86_64 program's: the bag and petals, a photo, the
# glow, the closing spin; no pixel may differ by more than 24 in any channel.
# The frames filled with the stretched noise picture (clock 4000, 90000)
# are left out: llvmpipe on aarch64 filters that texture with other
# rounding than on x86_64, every pixel within 3 but 1.2 to 1.4 apart on
# average.
# The x86_64 program is the release's when the arm64 one is, else this
# tree's.
step=$(date +%s)
native=$root/build/demorender
[ "$build" = "$cache/show" ] || native=$root/build-release/host/demorender
if [ ! -x "$native" ]; then
    native=$cache/host/demorender
    cmake -S . -B "$cache/host" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -Wno-dev >/dev/null
    cmake --build "$cache/host" --target demorender -j2 >/dev/null
fi
for t in 20000 45600 130000 150000; do
    "$native" --at "$t" --png "$work/$t-x86_64.png" 2>"$work/err" || { cat "$work/err"; fail "x86_64 frame $t"; }
    LD_LIBRARY_PATH=$folder/lib "$build/demorender" --at "$t" --png "$work/$t-arm64.png" 2>"$work/err" ||
        { cat "$work/err"; fail "arm64 frame $t"; }
    mean=$("$convert" "$work/$t-x86_64.png" "$work/$t-arm64.png" -compose difference -composite \
        -separate -format '%[fx:mean*255] %[fx:maxima*255] ' info:)
    echo "$mean" | awk '{ for (i = 1; i <= NF; i += 2) if ($i > 1 || $(i + 1) > 24) exit 1 }' ||
        fail "the arm64 frame at $t differs from the x86_64 one: mean, most $mean (0..255, per channel)"
    echo "arm64 stage: frame $t matches: mean, most per channel $mean"
done
echo "arm64 stage: frames $(since "$step")"

# Without the soundtrack, through a link to the launcher.
mv "$folder/data/lyd.ogg" "$work/lyd.ogg"
ln -s "$folder/demoplayer" "$work/link"
status=0
(cd /tmp && "$work/link") >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && printf 'fuck, fikk ikke \345pnet ikke data/lyd.ogg.\n' | cmp -s - "$work/out" ||
    fail "without the soundtrack: status $status, said '$(cat "$work/out")'"
echo "arm64 stage: without its soundtrack it says so, status 1; stage $(since "$began")"
