# Sourced by the stages and the release that need Debian roots, and run by
# test.sh --full: each root those use, made by one function here, so that
# the full tier can make them all ahead, while its first stages build and
# test, and each user then finds its own ready (tools/chroot.sh makes a
# root once, and a second maker of the same root waits for the first).
# Making a root is mostly downloading and unpacking: done in the
# background, it leaves the processors to the stages.
#
#   sh tools/roots.sh        makes every root below at its usual place, then
#                            the libraries built in and beside them (the end)
#
# Needs root (mmdebstrap, chroot); tools/chroot.sh must be sourced first.

# The 32-bit stage's i386 root: the show's build and run-time packages from
# bookworm alone (tests/stages/50-m32.sh).
root_m32() {
    makeroot "$1" i386 bookworm libc6-dev libstdc++-12-dev libgtest-dev \
        libsdl1.2-dev libgl1-mesa-dev libglu1-mesa-dev libjpeg62-turbo-dev libvorbis-dev \
        libasound2-dev libx11-dev libxtst-dev libgl1-mesa-dri libpulsedsp libasound2-plugins
}

# The release's build chroot: Debian 11 with the build tools (ccache among
# them, its cache kept in the chroot), the show's own development packages
# and the headers of the X extensions SDL loads at run time
# (tools/release/release.sh).
root_portable() {
    makechroot "$1" bullseye g++ cmake make pkgconf dpkg-dev patchelf ccache \
        libgl1-mesa-dev libglu1-mesa-dev libjpeg62-turbo-dev libvorbis-dev libasound2-dev \
        libx11-dev libxext-dev libxrandr-dev libxrender-dev libxxf86vm-dev x11proto-dev
}

# A desktop's runtime in SUITE, nothing of the show: GL through Mesa, ALSA
# with its PulseAudio plugin, the X client libraries (the release stage's
# test chroots, tests/stages/80-release.sh).
root_desktop() {
    makechroot "$1" "$2" libgl1 libglx-mesa0 libgl1-mesa-dri libasound2-plugins libx11-6 \
        libxext6 libxrandr2 libxrender1 libxcursor1 libxi6 libxfixes3 libxinerama1 libxxf86vm1
}

# Debian 11's arm64 development packages, the arm64 build's sysroot
# (tools/release/arm64.sh).
root_arm64build() {
    makeroot "$1" arm64 bullseye libc6-dev libstdc++-10-dev libgl1-mesa-dev libglu1-mesa-dev \
        libjpeg62-turbo-dev libvorbis-dev libasound2-dev libx11-dev libxext-dev libxrandr-dev \
        libxrender-dev libxxf86vm-dev x11proto-dev
}

# A minimal Debian 13 arm64 desktop runtime, where the arm64 tarball is run
# under qemu (tests/stages/85-arm64.sh).
root_arm64desktop() {
    makeroot "$1" arm64 trixie libc6 libstdc++6 libgl1 libglx-mesa0 libgl1-mesa-dri \
        libasound2-plugins libx11-6 libxext6 libxrandr2 libxrender1
}

# Run as a command: every root at the place its user keeps it, one after
# another (the mirror is the bottleneck, not the processors), and the
# libraries the later stages build from Debian's sources (each kept for the
# machine, tools/debsource.sh): the page's and the Windows program's beside
# the roots, SDL 1.2 in the release's two build roots after them, at the
# lowest priority, so that they take only what the stages leave of the
# processors. Each user takes what is done, waits for what is being made
# (its lock), and makes what is not; a failure is left to the stage that
# needs it, which says why.
if [ "${0##*/}" = roots.sh ]; then
    set -u
    cd "$(dirname "$0")/.."
    . tools/chroot.sh
    began=$(date +%s)
    status=0
    # made NAME COMMAND...: COMMAND, then when it ended (s from the start).
    made() {
        _what=$1
        shift
        if "$@"; then _how=made; else _how=FAILED status=1; fi
        echo "roots.sh: $_what $_how at $(($(date +%s) - began)) s"
    }
    (
        made "the page's libraries" nice -n 19 sh web/deps.sh build-web/deps
        made "the Windows program's libraries" nice -n 19 sh win/deps.sh build-win/deps
        exit $status
    ) &
    libraries=$!
    made "the i386 root" root_m32 "$PWD/${M32_BUILD:-build-m32}/root"
    made "Debian 11's build root" root_portable "$PWD/build-release/bullseye"
    made "Debian 12's desktop root" root_desktop "$PWD/build-release/bookworm" bookworm
    made "Debian 13's desktop root" root_desktop "$PWD/build-release/trixie" trixie
    made "the arm64 sysroot" root_arm64build "$PWD/build-arm64/sysroot"
    made "the arm64 run-time root" root_arm64desktop "$PWD/build-arm64/runtime"
    renice -n 19 -p $$ >/dev/null
    made "SDL in the arm64 sysroot" sh tools/release/arm64.sh --sdl "$PWD/build-arm64"
    made "SDL in Debian 11's build root" inchroot "$PWD/build-release/bullseye" -b "$PWD" \
        /bin/sh "$PWD/tools/release/portable.sh" --sdl "$PWD/build-release/portable"
    wait "$libraries" || status=1
    exit $status
fi
