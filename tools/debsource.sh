# Sourced by the scripts that build libraries from Debian's source packages
# (web/deps.sh, win/deps.sh) after they set `cache`: fetches and unpacks a
# source package under $cache/src.

# Source packages come from the same archive and suite as the binaries,
# signed by the same key (apt refuses one URI with two different keys).
# One file holds the entry: two files with the same line make apt warn.
sources() {
    list=/etc/apt/sources.list.d/demo-web-sources.list
    _sudo=""
    [ "$(id -u)" -eq 0 ] || _sudo="sudo"
    if [ ! -e "$list" ]; then
        echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
            "http://deb.debian.org/debian bookworm main" | $_sudo tee "$list" >/dev/null
        $_sudo apt-get update -qq
    fi
}

# fetch PACKAGE: unpacks Debian's source package (patches applied) under
# $cache/src and prints its directory.
fetch() {
    dir=$(find "$cache/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
    if [ -z "$dir" ]; then
        sources
        (cd "$cache/src" && apt-get source -qq -o APT::Sandbox::User=root "$1" >&2)
        dir=$(find "$cache/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
    fi
    echo "$dir"
}

# The libraries built from them are kept for the machine as well, so that a
# fresh clone takes them instead of building them again:
#   kept NAME COMPILER PACKAGE...
# prints the folder, ${XDG_CACHE_HOME:-$HOME/.cache}/demoplayer/NAME-KEY,
# KEY naming what the build depends on: the script running ($0), this
# file, COMPILER's version and the source packages' newest versions.
# `keep` copies $cache/prefix there once it is complete; `takekept` copies
# it back into an empty prefix.
kept() {
    _name=$1 _compiler=$2
    shift 2
    sources
    _key=$({
        cat "$0" "$(dirname "$0")/../tools/debsource.sh"
        "$_compiler" --version 2>&1 | head -n1
        for _p in "$@"; do
            apt-cache showsrc --only-source "$_p" | sed -n 's/^Version: //p' | sort -V | tail -n1
        done
    } | sha256sum | cut -c1-16)
    echo "${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/demoplayer/$_name-$_key"
}
takekept() {
    [ -d "$1" ] && [ -z "$(ls -A "$cache/prefix/lib" 2>/dev/null)" ] || return 0
    echo "deps: taken from $1" >&2
    cp -a "$1/." "$cache/prefix/"
}
keep() {
    [ -d "$1" ] && return 0
    mkdir -p "$(dirname "$1")"
    rm -rf "$1.part"
    cp -a "$cache/prefix" "$1.part" && mv "$1.part" "$1"
}
