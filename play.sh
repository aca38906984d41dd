#!/bin/sh
# Installs what the show needs, builds it, and runs it from here, where
# data/lyd.ogg lives. Needs an X display with OpenGL and a sound device.
set -eu
cd "$(dirname "$0")"
. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES
cmake -S . -B build -DDEMO_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/demoplayer
