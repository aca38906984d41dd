#!/bin/sh
# Installs what the tests need, builds, and runs the whole suite headless:
# starts a virtual X server and an audio server with a null sink, runs
# every test of the default build, then every stage in tests/stages (other
# builds and runtimes, sanitizers, repeated runs), and stops both servers.
# Fails when any test fails.
set -eu
cd "$(dirname "$0")"
. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES $TEST_PACKAGES
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"
. tools/headless.sh
startheadless
trap stopheadless EXIT
ctest --test-dir build --output-on-failure -j2 --timeout 600
for stage in tests/stages/*.sh; do
    [ -e "$stage" ] || continue
    echo "=== $stage"
    sh "$stage"
done
echo "=== all tests passed"
