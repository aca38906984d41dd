#!/bin/sh
# Installs what the show needs, builds it, and runs it from here, where
# data/lyd.ogg lives. Needs an X display with OpenGL and a sound device.
# Shares build/ with test.sh; each says which parts it wants built.
set -eu
cd "$(dirname "$0")"
. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES
cmake -S . -B build -DBUILD_TESTING=OFF -DDEMO_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/demoplayer
