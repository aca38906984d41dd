# Sourced by play.sh, test.sh and the other scripts: installs Debian
# packages with apt-get, through sudo when not root, skipping the download
# when all are present.

# unmet PACKAGES...: sets missing to those of PACKAGES not installed, and
# sudo to what apt-get is run through.
unmet() {
    missing=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
}

need() {
    unmet "$@"
    [ -z "$missing" ] && return 0
    # A mirror caught mid-sync serves index files of the wrong size, and
    # the update fails; a later try may find it whole. After the last try
    # the install goes on with the indexes that did come: apt says which
    # packages they cannot give.
    _tries=1
    until $sudo apt-get update -qq; do
        if [ "$_tries" -ge 3 ]; then
            echo "packages: apt-get update failed $_tries times; installing from the indexes it has" >&2
            break
        fi
        _tries=$((_tries + 1))
        sleep 20
    done
    # Other builds on the same machine may hold the package lock a while.
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -o DPkg::Lock::Timeout=300 -y --no-install-recommends --no-remove $missing
}

# What building the show takes.
BUILD_PACKAGES="g++ cmake make pkgconf libsdl1.2-dev libgl1-mesa-dev libglu1-mesa-dev
    libjpeg62-turbo-dev libvorbis-dev libasound2-dev"
# What it takes at run time besides the libraries: a GL driver, and ALSA's
# route to PulseAudio or PipeWire.
RUN_PACKAGES="libgl1-mesa-dri libasound2-plugins"
# What demorender hands its frames to: ffmpeg, which also brings ffprobe.
CAPTURE_PACKAGES="ffmpeg"
# What the tests take: GoogleTest, a virtual X server, an audio server with
# its OSS emulation, X client libraries for the key and close tests; and
# what the benchmarks compare against, which the tests run small: a GL call
# recorder and replayer, and the reference Vorbis decoder; and the live
# A/V rig's reference player (tests/av), mpv; and ccache, which the
# builds use where it is installed (cmake/ccache.cmake), since the full tier
# builds the same sources again in several trees and runs.
TEST_PACKAGES="libgtest-dev xvfb xauth x11-utils pulseaudio pulseaudio-utils libpulsedsp
    libx11-dev libxtst-dev apitrace vorbis-tools mpv ccache $CAPTURE_PACKAGES"
# What the Windows build takes: the mingw-w64 cross-compilers (POSIX
# threads) and tools, and what building Debian's source packages needs.
WIN_PACKAGES="g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    binutils-mingw-w64-x86-64 cmake make dpkg-dev"
# What running it here takes: Wine (64-bit alone, no i386 architecture).
WINE_PACKAGES="wine64 wine"
# What the web tests take for WebKit: WebKitGTK's WebDriver server (it
# brings the MiniBrowser) and GStreamer's plugins for WebAudio's output
# (without autoaudiosink its web process aborts).
WEBKIT_PACKAGES="webkit2gtk-driver gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-pulseaudio"
# What the full tier's stages take besides the above (each stage still
# names its own): other SDL runtimes, valgrind, the 32-bit toolchain and
# its root, the browsers and their build, the Windows build and Wine, the
# release's chroots and checks, the arm64 cross-build.
FULL_PACKAGES="libsdl1.2-compat valgrind xdotool g++-multilib mmdebstrap qemu-user-static
    chromium firefox-esr emscripten dpkg-dev python3 $WEBKIT_PACKAGES
    $WIN_PACKAGES $WINE_PACKAGES zip unzip rsync x11-apps imagemagick binutils
    fonts-dejavu-core clang binutils-aarch64-linux-gnu autotools-dev patchelf"

# fetch PACKAGES...: downloads what need would install, without installing
# it, so that the download goes on while other work runs; a later need of
# the same packages unpacks them from apt's cache. Call it after a need,
# whose update it relies on, and run it in the background: nothing else may
# install meanwhile (apt's cache is locked while it downloads).
fetch() {
    unmet "$@"
    [ -z "$missing" ] && return 0
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -o DPkg::Lock::Timeout=300 -qq -y \
        --download-only --no-install-recommends --no-remove $missing >/dev/null
}
