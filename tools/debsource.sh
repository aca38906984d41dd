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
