#!/bin/sh
# The README's commands run as written: each script of the repository that
# a command line of the README starts (an indented line whose first word,
# after any VAR=value, is a path such as ./test.sh or tools/release.sh) is
# in git as an executable file (mode 100755) with a #! line. Files a build
# makes (build/..., build-*/...) are left out. Fails when no such command
# is found at all, so a changed README format cannot make it pass empty.
#
#   sh tests/readme_commands.sh REPOSITORY     (a CTest of the fast tier)
set -eu
root=$1
cd "$root"
found=0
bad=0
for script in $(sed -n 's/^    \(\([A-Za-z_][A-Za-z_0-9]*=[^ ]* \)*\)\([^ ]*\/[^ ]*\).*/\3/p' README.md |
    sed 's|^\./||' | grep -v '^/' | grep -v '^build[^/]*/' | sort -u); do
    found=$((found + 1))
    mode=$(git ls-files -s -- "$script" | cut -d' ' -f1)
    if [ "$mode" != 100755 ]; then
        echo "FAIL $script: ${mode:-not in git}, not executable in git"
        bad=$((bad + 1))
    elif [ "$(head -c 2 "$script")" != "#!" ]; then
        echo "FAIL $script: no #! line"
        bad=$((bad + 1))
    else
        echo "ok   $script"
    fi
done
[ "$found" -gt 0 ] || { echo "FAIL no command of the README names a script"; exit 1; }
[ "$bad" -eq 0 ]
