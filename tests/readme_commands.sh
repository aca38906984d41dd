#!/bin/sh
# The commands of README.md and of the manuals in docs/ run as written:
# each script of the repository that a command line of those pages starts
# (an indented line whose first word, after any VAR=value, is a path such
# as ./test.sh or tools/release/release.sh) is in git as an executable file (mode
# 100755) with a #! line. Files a build makes (build/..., build-*/...) are
# left out. Fails when no such command is found in README.md, or in docs/,
# so a changed page format cannot make it pass empty.
#
#   sh tests/readme_commands.sh REPOSITORY     (a CTest of the fast tier)
set -eu
root=$1
cd "$root"
# The scripts the command lines of the pages given start, one a line.
scripts() {
    sed -n 's/^    \(\([A-Za-z_][A-Za-z_0-9]*=[^ ]* \)*\)\([^ ]*\/[^ ]*\).*/\3/p' "$@" |
        sed 's|^\./||' | grep -v '^/' | grep -v '^build[^/]*/' | sort -u
}
[ -n "$(scripts README.md)" ] || { echo "FAIL no command of README.md names a script"; exit 1; }
[ -n "$(scripts docs/*.md)" ] || { echo "FAIL no command of docs/*.md names a script"; exit 1; }
bad=0
for script in $(scripts README.md docs/*.md); do
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
[ "$bad" -eq 0 ]
