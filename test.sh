#!/bin/sh
# Installs what the tests need, builds, and runs the whole suite headless:
# starts a virtual X server and an audio server with a null sink, runs
# every test, stops both. Fails when any test fails. Extra arguments go to
# ctest (for example -L fast).
set -eu
cd "$(dirname "$0")"
. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES $TEST_PACKAGES
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"
. tools/headless.sh
startheadless
trap stopheadless EXIT
ctest --test-dir build --output-on-failure -j2 "$@"
