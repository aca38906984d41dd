#!/bin/sh
# The exit path under repetition: the show ended by a held Escape 100 times
# in a row (tests/exits.sh), each exit landing while the music thread is
# writing to the device. 100 runs took 165-255 s on two cores shared with
# other busy jobs (70 took 85 s on a quieter moment).
set -eu
cd "$(dirname "$0")/../.."
began=$(date +%s)
sh tests/exits.sh 100
echo "exits stage: $(($(date +%s) - began)) s"
