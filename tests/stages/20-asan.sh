#!/bin/sh
# The whole test suite, every label (the ~105 s show included; the live
# rig left out, see below), built with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan. Any report
# fails the stage: every sanitized process (test programs, the demoplayer
# and clockrun they start) halts on its first error and exits with status
# 86 instead of the statuses the tests expect; ASan and LeakSanitizer
# reports go to one log directory, which must stay empty, and
# UndefinedBehaviorSanitizer's to the test log, which must hold none. The
# leak check is on for every program, the show and the capture included:
# a block our own code loses fails the stage, named by file and line.
#
# Run by test.sh with its X and audio servers; run alone, it starts its own.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)

. tools/headless.sh
ensureheadless

flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
# Every sanitized program keeps what it loads until it ends (see
# tests/sanitizers/keeploaded.c), so that leaks are judged the same way on
# any machine, whatever its GL driver frees or keeps.
mkdir -p build-asan
cc -c -O2 -o build-asan/keeploaded.o tests/sanitizers/keeploaded.c
# Line tables (-g1) are all a report's stack needs, and compile a third
# faster than full debugging information.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags $root/build-asan/keeploaded.o" \
    -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
cmake --build build-asan -j"$(nproc)"

logs=$(mktemp -d)
# The real-binary tests preload the probe (and PulseAudio's OSS library)
# ahead of the sanitized binary's own libasan. Neither replaces malloc or
# any other allocator entry point, so ASan's interceptors still see every
# allocation; the start-up check that refuses such a preload order is off.
ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:exitcode=86:log_path=$logs/asan:log_exe_name=1"
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

status=0
# The live A/V rig is left out: it judges timing, which the sanitizers'
# cost changes.
ctest --test-dir build-asan --output-on-failure -j2 --timeout 600 -E '^LiveRig$' || status=1
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
rm -rf "$logs"
exit $status
