#!/bin/sh
# The whole test suite, every label, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan. Any report fails the stage:
# every sanitized process (test programs, the demoplayer and clockrun they
# start) writes its reports under one log directory, which must stay
# empty, and exits with status 86 instead of the statuses the tests expect.
#
# Run by test.sh with its X and audio servers; run alone, it starts its own.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)

if [ -z "${DISPLAY:-}" ] || [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    . tools/headless.sh
    startheadless
    trap stopheadless EXIT
fi

flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
cmake --build build-asan -j"$(nproc)"

logs=$(mktemp -d)
# The real-binary tests preload the probe (and PulseAudio's OSS library)
# ahead of the sanitized binary's own libasan. Neither replaces malloc or
# any other allocator entry point, so ASan's interceptors still see every
# allocation; the start-up check that refuses such a preload order is off.
ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:exitcode=86:log_path=$logs/asan"
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan"
LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

status=0
ctest --test-dir build-asan --output-on-failure -j2 --timeout 600 || status=1
for report in "$logs"/*; do
    [ -e "$report" ] || continue
    echo "--- $report"
    cat "$report"
    status=1
done
rm -rf "$logs"
exit $status
