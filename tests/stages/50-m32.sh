#!/bin/sh
# The show built for 32-bit x86 and tested there: the unit tests and the
# real-binary tests (start-up failures, both endings, the clock through
# ALSA and through the OSS emulation), under the X and audio servers
# test.sh started. The 64-bit audio server serves 32-bit clients over its
# socket. Build directory: $M32_BUILD, default build-m32.
set -eu
cd "$(dirname "$0")/../.."
. tools/packages.sh
build=${M32_BUILD:-build-m32}
began=$(date +%s)
since() { echo "$(($(date +%s) - $1)) s"; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
added=
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    added=yes
fi
# The i386 classic SDL dev package would replace the amd64 one, so only the
# i386 runtime is installed; the build uses the amd64 headers. An archive
# that cannot give them (seen: a mirror serving a stale i386 index of the
# security suite, so that no i386 library matched its amd64 twin) is not a
# fault of the program: the stage says so loudly and is skipped, and an
# architecture it added is taken away again, so that later installs do
# not trip over the same index.
if ! need g++-multilib libsdl1.2debian:i386 libgl1-mesa-dev:i386 libglu1-mesa-dev:i386 \
    libjpeg62-turbo-dev:i386 libvorbis-dev:i386 libasound2-dev:i386 \
    libgl1-mesa-dri:i386 libpulsedsp:i386 libasound2-plugins:i386 \
    libx11-dev:i386 libxtst-dev:i386; then
    [ -z "$added" ] || $sudo dpkg --remove-architecture i386 2>/dev/null || true
    [ -z "$added" ] || $sudo apt-get update -qq 2>/dev/null || true
    echo "m32: SKIPPED: the archive could not give the i386 packages (apt's messages above); nothing 32-bit was built or run"
    exit 0
fi
echo "m32: packages $(since "$began")"

# A kernel without 32-bit x86 support refuses i386 programs ("Exec format
# error"): then they run under qemu's user-mode i386 emulation, registered
# with binfmt_misc so that every 32-bit program, children included, is
# started through it. Slower, and a check of the build, not of the CPU.
skip=
probe32=$(mktemp -d)
printf 'int main(void) { return 0; }\n' >"$probe32/ok.c"
gcc -m32 "$probe32/ok.c" -o "$probe32/ok"
if ! "$probe32/ok" 2>/dev/null; then
    need qemu-user-static
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
    [ -e "$binfmt/qemu-i386" ] || printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
        $sudo tee "$binfmt/register" >/dev/null
    "$probe32/ok" || { echo "m32: cannot run 32-bit programs"; exit 1; }
fi
rm -rf "$probe32"
# Registered i386 emulation takes every 32-bit program, whatever the kernel
# could do itself (a machine may keep it from an earlier run).
if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    echo "m32: 32-bit programs run under qemu-i386"
    # About ten times slower: the frame readings of the opening and the
    # damaged soundtracks through the real binary are left to the native
    # builds (the widest damage sweeps are the full tier's, not run here).
    skip='^(Opening|DamagedRun)\.'
fi

# GoogleTest from its sources, built for 32 bits into the build directory.
step=$(date +%s)
toolchain="$PWD/cmake/m32.cmake"
cmake -S /usr/src/googletest -B "$build/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$PWD/$build/gtest" >/dev/null
cmake --build "$build/googletest" -j"$(nproc)" >/dev/null
cmake --install "$build/googletest" >/dev/null
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$PWD/$build/gtest" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "m32: build $(since "$step")"

readelf -h "$build/demoplayer" | grep -q 'Class:.*ELF32' || { echo "m32: demoplayer is not ELF32"; exit 1; }
readelf -h "$build/demoplayer" | grep -q 'Machine:.*80386' || { echo "m32: demoplayer is not i386"; exit 1; }
readelf -d "$build/demoplayer" | grep -q 'NEEDED.*libSDL-1.2.so.0' || { echo "m32: demoplayer does not need SDL 1.2"; exit 1; }
echo "m32: demoplayer is ELF 32-bit i386, needs libSDL-1.2.so.0"

step=$(date +%s)
ctest --test-dir "$build" -L 'fast|binary' ${skip:+-E "$skip"} --output-on-failure -j2 --timeout 600
echo "m32: tests $(since "$step"), stage $(since "$began")"
