#!/bin/sh
# Installs what the tests need, builds, and runs the tests headless: starts
# a virtual X server and an audio server with a null sink, runs the tests,
# and stops both. Fails when any test fails, and when a tier finds no
# tests to run.
#
#   ./test.sh          the quick tier: the default build's unit, GL and
#                      real-binary tests and the whole show once
#   ./test.sh --full   that, the slow tests of the default build (label
#                      `full`), and every stage in tests/stages: other
#                      builds and runtimes, sanitizers, valgrind, repeated
#                      runs, the browser, the release
#   ./test.sh -R Timeline   further arguments go to CTest: here the quick
#                      tier's tests whose names match
#
# Every stage runs, whether or not an earlier one failed; the last lines
# name each with "passed" or "failed" and its seconds, then the tier's
# total. "all tests passed" only when every one passed.
set -eu
cd "$(dirname "$0")"
full=
if [ "${1:-}" = "--full" ]; then
    full=yes
    shift
fi
began=$(date +%s)
. tools/packages.sh
need $BUILD_PACKAGES $RUN_PACKAGES $TEST_PACKAGES xdotool
# The stages' packages download while the default build is built and
# tested, and are unpacked before the first stage.
fetcher=
if [ -n "$full" ]; then
    mkdir -p build
    fetch $FULL_PACKAGES >build/fetch.log 2>&1 &
    fetcher=$!
fi

summary=
failed=
# stage NAME COMMAND...: runs COMMAND and adds its line to the summary.
stage() {
    _name=$1 _from=$(date +%s)
    shift
    echo "=== $_name"
    if "$@"; then _result=passed; else _result=failed failed=yes; fi
    _line=$(printf '%-34s %s %5d s' "$_name" "$_result" $(($(date +%s) - _from)))
    echo "=== $_line"
    summary="$summary$_line
"
}

# build/ is shared with play.sh, which leaves the tests out: say what is
# wanted rather than inherit it.
defaultbuild() {
    cmake -S . -B build -DBUILD_TESTING=ON -DDEMO_BENCH=ON >/dev/null &&
        cmake --build build -j"$(nproc)" &&
        if [ -n "$full" ]; then
            ctest --test-dir build --output-on-failure -j2 --timeout 600 --no-tests=error "$@"
        else
            ctest --test-dir build --output-on-failure -j2 --timeout 600 --no-tests=error -LE '^full$' "$@"
        fi
}

# Once the stages' packages are in, the Debian roots the later stages use
# and the libraries they build from Debian's sources (tools/roots.sh) are
# made in the background while the first stages run; a stage that comes
# to one first waits for it or makes it.
roots=
packages() {
    wait "$fetcher" || { cat build/fetch.log; echo "packages: the download failed"; return 1; }
    need $FULL_PACKAGES || return 1
    sh tools/roots.sh >build/roots.log 2>&1 &
    roots=$!
}

. tools/headless.sh
startheadless
trap stopheadless EXIT
stage "default build" defaultbuild "$@"
if [ -n "$full" ]; then
    stage "packages of the stages" packages
    for script in tests/stages/*.sh; do
        [ -e "$script" ] || continue
        stage "$script" sh "$script"
    done
    # The roots' maker ends before the tier does; when each was ready.
    [ -z "$roots" ] || wait "$roots" || true
    [ -z "$roots" ] || grep '^roots.sh: ' build/roots.log || true
fi
echo "=== summary"
printf '%s' "$summary"
total=$(($(date +%s) - began))
if [ -n "$failed" ]; then
    echo "=== tests FAILED in $total s"
    exit 1
fi
echo "=== all tests passed in $total s"
