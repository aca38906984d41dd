#!/bin/sh
# Installs what the tests need, builds, and runs the tests headless: starts
# a virtual X server and an audio server with a null sink, runs the tests,
# and stops both servers. Fails when any test fails, and when a tier finds
# no tests to run.
#
#   ./test.sh          the quick tier: the default build's unit, GL and
#                      real-binary tests and the whole show once
#   ./test.sh --full   that, the slow tests of the default build (label
#                      `full`), and every stage in tests/stages: other
#                      builds and runtimes, sanitizers, valgrind, repeated
#                      runs, the browser, the release
#   ./test.sh -R Timeline   further arguments go to CTest: here the quick
#                      tier's tests whose names match
set -eu
cd "$(dirname "$0")"
full=
if [ "${1:-}" = "--full" ]; then
    full=yes
    shift
fi
began=$(date +%s)
. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES $TEST_PACKAGES
# build/ is shared with play.sh, which leaves the tests out: say what is
# wanted rather than inherit it.
cmake -S . -B build -DBUILD_TESTING=ON -DDEMO_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
. tools/headless.sh
startheadless
trap stopheadless EXIT
if [ -n "$full" ]; then
    ctest --test-dir build --output-on-failure -j2 --timeout 600 --no-tests=error "$@"
else
    ctest --test-dir build --output-on-failure -j2 --timeout 600 --no-tests=error -LE '^full$' "$@"
fi
echo "=== default build: $(($(date +%s) - began)) s"
if [ -n "$full" ]; then
    for stage in tests/stages/*.sh; do
        [ -e "$stage" ] || continue
        echo "=== $stage"
        sh "$stage"
        echo "=== $stage done: $(($(date +%s) - began)) s"
    done
fi
echo "=== all tests passed in $(($(date +%s) - began)) s"
