#!/bin/sh
# The whole test suite, every label (the ~105 s show included), built with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan. Any report
# fails the stage: every sanitized process (test programs, the demoplayer
# and clockrun they start) halts on its first error and exits with status
# 86 instead of the statuses the tests expect; ASan and LeakSanitizer
# reports go to one log directory, which must stay empty, and
# UndefinedBehaviorSanitizer's to the test log, which must hold none.
#
# Run by test.sh with its X and audio servers; run alone, it starts its own.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)

. tools/headless.sh
ensureheadless

flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
cmake --build build-asan -j"$(nproc)"

logs=$(mktemp -d)
options=$(mktemp -d)
# The two programs that close their window, the show and the capture, run
# without the leak check. When they end, SDL_Quit unloads Mesa's driver,
# and the two 56-byte blocks the driver still holds from its own globals
# then show up as leaks from whatever module was loaded at that address
# since; no suppression can name them. Every other sanitized program keeps
# the check, and the suppressions file names what it forgives. %b is the
# program's name.
echo detect_leaks=0 >"$options/demoplayer"
echo detect_leaks=0 >"$options/demorender"
# The real-binary tests preload the probe (and PulseAudio's OSS library)
# ahead of the sanitized binary's own libasan. Neither replaces malloc or
# any other allocator entry point, so ASan's interceptors still see every
# allocation; the start-up check that refuses such a preload order is off.
ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:exitcode=86:log_path=$logs/asan:include_if_exists=$options/%b"
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
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
# UndefinedBehaviorSanitizer reports on standard error; the test log holds
# the output of every test and of every program a test started.
if grep -n 'runtime error:' build-asan/Testing/Temporary/LastTest.log; then
    status=1
fi
rm -rf "$logs" "$options"
exit $status
