#!/bin/sh
# Plays the show from any directory: the program reads data/lyd.ogg from
# its working directory, so this enters the folder it lies in (following a
# symbolic link to it) first.
cd "$(dirname "$(readlink -f "$0")")" || exit 1
exec bin/demoplayer "$@"
