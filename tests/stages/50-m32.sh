#!/bin/sh
# The show built for 32-bit x86 and tested there: the unit tests and the
# real-binary tests (start-up failures, both endings, the clock through
# ALSA and through the OSS emulation), under the X and audio servers
# test.sh started. The 64-bit audio server serves 32-bit clients over its
# socket. Build directory: $M32_BUILD, default build-m32, with the i386
# root in its root/. Fails, never skips, when any of it cannot be done.
set -eu
cd "$(dirname "$0")/../.."
. tools/packages.sh
build=${M32_BUILD:-build-m32}
began=$(date +%s)
since() { echo "$(($(date +%s) - $1)) s"; }

# Needs root: the i386 root is unpacked by mmdebstrap, and qemu's i386
# emulation is registered with binfmt_misc.
[ "$(id -u)" -eq 0 ] || { echo "m32: FAILED: needs root (mmdebstrap, binfmt_misc)"; exit 1; }
need g++-multilib mmdebstrap qemu-user-static ||
    { echo "m32: FAILED: the host's 32-bit compiler, mmdebstrap or qemu could not be installed"; exit 1; }
. tools/chroot.sh
. tools/roots.sh

# The i386 side comes from one suite alone, unpacked into a root of its own
# (cached in the build directory): its versions agree with each other
# whatever amd64 versions the host has, which Debian's multiarch would
# demand of i386 packages installed beside them.
step=$(date +%s)
root=$PWD/$build/root
root_m32 "$root" ||
    { echo "m32: FAILED: the i386 root could not be made (mmdebstrap's messages above)"; exit 1; }
# ALSA's default device goes to the audio server, as a desktop's sound
# server sets it.
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$root/etc/alsa/conf.d/99-pulse.conf"
echo "m32: i386 root $(since "$step")"

# Every 32-bit program, children included, runs under qemu's user-mode i386
# emulation with the root as its library root: its loader, libraries, GL
# driver and ALSA configuration are the root's, while sockets (X, the audio
# server) and the build tree, absent from the root, are the host's. Used
# even where the kernel could run i386 programs itself, so that nothing of
# the host's own 32-bit libraries is loaded.
binfmt=/proc/sys/fs/binfmt_misc
{ [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"; } &&
    { [ -e "$binfmt/qemu-i386" ] || printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' >"$binfmt/register"; } &&
    { [ "$(head -n1 "$binfmt/qemu-i386")" = enabled ] || echo 1 >"$binfmt/qemu-i386"; } ||
    { echo "m32: FAILED: qemu's i386 emulation could not be registered with binfmt_misc"; exit 1; }
QEMU_LD_PREFIX=$root
export QEMU_LD_PREFIX
# About ten times slower: the frame readings of the opening and the damaged
# soundtracks through the real binary are left to the native builds (the
# widest damage sweeps are the full tier's, not run here).
skip='^(Opening|DamagedRun)\.'

step=$(date +%s)
# Line tables only (-g1): enough for a backtrace, a third quicker to compile.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/m32.cmake" -DM32_ROOT="$root" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "m32: build $(since "$step")"

readelf -h "$build/demoplayer" | grep -q 'Class:.*ELF32' || { echo "m32: demoplayer is not ELF32"; exit 1; }
readelf -h "$build/demoplayer" | grep -q 'Machine:.*80386' || { echo "m32: demoplayer is not i386"; exit 1; }
readelf -d "$build/demoplayer" | grep -q 'NEEDED.*libSDL-1.2.so.0' || { echo "m32: demoplayer does not need SDL 1.2"; exit 1; }
echo "m32: demoplayer is ELF 32-bit i386, needs libSDL-1.2.so.0"
# The libraries it loads are the root's: the C library from the root's
# multiarch folder, nothing from the host's own 32-bit runtime (lib32).
# Started where no soundtrack is, it stops after setting the video mode.
loaded=$( (cd / && LD_DEBUG=libs "$OLDPWD/$build/demoplayer" 2>&1 >/dev/null) | sed -n 's/.*calling init: //p')
echo "$loaded" | grep -qx /lib/i386-linux-gnu/libc.so.6 &&
    echo "$loaded" | grep -q '/libSDL-1.2.so.0$' && ! echo "$loaded" | grep -q lib32 ||
    { echo "m32: demoplayer did not load its libraries from the i386 root:"; echo "$loaded"; exit 1; }
echo "m32: demoplayer loads its $(echo "$loaded" | wc -l) libraries from the i386 root"

step=$(date +%s)
ctest --test-dir "$build" -L 'fast|binary' ${skip:+-E "$skip"} --output-on-failure -j2 --timeout 600
echo "m32: tests $(since "$step"), stage $(since "$began")"
