# Sourced by the release command, its test and the 32-bit stage: Debian
# chroots made once and kept, commands run inside them, and
# roots of another architecture unpacked with mmdebstrap. Needs root. The
# functions' own variables start with cr_, out of their callers' way.
#
# A root is kept for the machine, in ${XDG_CACHE_HOME:-$HOME/.cache}/
# demoplayer/roots, one per place it is asked for (its last two path
# names), what is asked (suite, architecture, packages) and the week it is
# made in, so that a root takes the suites' updates within a week and a
# changed list makes one anew; the DIR asked for is a link to it. Older
# roots of the same place are removed once a day old. Two processes making
# the same root (tools/roots.sh ahead of a stage) take turns: the second
# waits on the root's lock, then finds it made.

MIRROR=http://deb.debian.org/debian
SECURITY=http://deb.debian.org/debian-security

# makechroot DIR SUITE PACKAGES...: a minbase chroot of SUITE with
# PACKAGES installed (without recommends), made with mmdebstrap.
makechroot() {
    keptroot makechroot_ "$@"
}
makechroot_() {
    cr_dir=$1 cr_suite=$2
    shift 2
    [ -f "$cr_dir/.ready" ] && return 0
    rm -rf "$cr_dir" "$cr_dir.partial"
    mkdir -p "$(dirname "$cr_dir")"
    # The suite and its security updates, PACKAGES in the same apt run
    # (mmdebstrap keeps services from starting while it installs).
    mmdebstrap --variant=minbase --include="$(echo "$*" | tr ' ' ',')" \
        "$cr_suite" "$cr_dir.partial" "deb $MIRROR $cr_suite main" \
        "deb $SECURITY $cr_suite-security main" >"$cr_dir.log" 2>&1 ||
        { tail -n 20 "$cr_dir.log"; return 1; }
    # Nor does anything installed later.
    printf '#!/bin/sh\nexit 101\n' >"$cr_dir.partial/usr/sbin/policy-rc.d"
    chmod 755 "$cr_dir.partial/usr/sbin/policy-rc.d"
    mv "$cr_dir.partial" "$cr_dir"
    echo "$cr_suite $*" >"$cr_dir/.ready"
}

# makeroot DIR ARCH SUITE PACKAGES...: the files of PACKAGES and of all
# they depend on, for Debian architecture ARCH, from SUITE alone, unpacked
# into DIR without running a maintainer script (nothing of ARCH runs while
# it is made): a root to build against as a sysroot and to run programs
# with under qemu's user emulation (QEMU_LD_PREFIX=DIR).
makeroot() {
    keptroot makeroot_ "$@"
}
makeroot_() {
    cr_dir=$1
    shift
    cr_arch=$1 cr_suite=$2
    [ -f "$cr_dir/.ready" ] && return 0
    rm -rf "$cr_dir" "$cr_dir.partial"
    mkdir -p "$(dirname "$cr_dir")"
    cr_list=$(shift 2 && echo "$*" | tr ' ' ',')
    mmdebstrap --arch="$cr_arch" --variant=extract --include="$cr_list" "$cr_suite" \
        "$cr_dir.partial" "$MIRROR" >"$cr_dir.log" 2>&1 || { tail -n 20 "$cr_dir.log"; return 1; }
    # The loader's cache, which libc-bin's trigger would have written: a
    # loader that finds none reads the host's, which lists the host's own
    # 32-bit libraries (lib32).
    [ -f "$cr_dir.partial/etc/ld.so.conf" ] ||
        echo 'include /etc/ld.so.conf.d/*.conf' >"$cr_dir.partial/etc/ld.so.conf"
    ldconfig -r "$cr_dir.partial" || return 1
    mv "$cr_dir.partial" "$cr_dir"
    echo "$*" >"$cr_dir/.ready"
}

# keptroot MAKER DIR ARGS...: MAKER makes the machine's root for DIR and ARGS
# (above) under its lock, and DIR becomes a link to it.
keptroot() {
    cr_make=$1 cr_link=$2
    shift 2
    cr_name=$(basename "$(dirname "$cr_link")")-$(basename "$cr_link")
    cr_key=$(echo "$cr_make $* $(date -u +%G-%V)" | sha256sum | cut -c1-16)
    cr_store=${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/demoplayer/roots/$cr_name-$cr_key
    locked "$cr_make" "$cr_store" "$@" || return 1
    find "$(dirname "$cr_store")" -maxdepth 1 -name "$cr_name-*" ! -name "$cr_name-$cr_key*" \
        -mtime +0 -exec rm -rf {} + 2>/dev/null || true
    [ "$(readlink "$cr_link")" = "$cr_store" ] && return 0
    rm -rf "$cr_link"
    mkdir -p "$(dirname "$cr_link")"
    ln -s "$cr_store" "$cr_link"
}

# locked FUNCTION DIR ARGS...: FUNCTION DIR ARGS... while holding DIR.lock
# (descriptor 8, closed again before it returns).
locked() {
    mkdir -p "$(dirname "$2")"
    exec 8>"$2.lock"
    flock 8
    cr_status=0
    "$@" || cr_status=$?
    exec 8>&-
    return $cr_status
}

# inchroot DIR [-b HOSTPATH]... COMMAND...: runs COMMAND as root in DIR with
# /proc, a private /dev (the few device nodes programs expect, bound from
# the host's, and pseudo-terminals), the host's resolver, and each -b
# HOSTPATH bound at the same path inside; CHROOT_ENV adds variables. Every
# mount lives in a private mount namespace and disappears with the command,
# so nothing stays mounted under DIR when it returns, however it ends.
inchroot() {
    cr_dir=$1
    shift
    cr_binds=""
    while [ "${1:-}" = "-b" ]; do
        cr_binds="$cr_binds $2"
        shift 2
    done
    unshare --mount --propagation private /bin/sh -c '
        root=$1 binds=$2
        shift 2
        mount -t proc proc "$root/proc"
        mount -t tmpfs -o mode=755 dev "$root/dev"
        for d in null zero full random urandom tty; do
            touch "$root/dev/$d"
            mount --bind "/dev/$d" "$root/dev/$d"
        done
        mkdir -p "$root/dev/shm" "$root/dev/pts"
        mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
        mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
        ln -s pts/ptmx "$root/dev/ptmx"
        cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
        for b in $binds; do
            mkdir -p "$root$b"
            mount --bind "$b" "$root$b"
        done
        exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
            LANG=C.UTF-8 ${CHROOT_ENV:-} "$@"
    ' inchroot "$cr_dir" "$cr_binds" "$@"
}
