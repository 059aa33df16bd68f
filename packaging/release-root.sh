#!/usr/bin/env bash
# Runs a script as root inside a new root of a Debian release, thrown away afterwards:
#
#   release-root.sh RELEASE CACHE_DIR PACKAGES FOLDER SCRIPT [ARGS...]
#
# RELEASE is 12 (bookworm) or 13 (trixie). The base root (mmdebstrap's "apt" variant with the
# comma-separated PACKAGES, from this machine's Debian sources with the release's name in place of
# this machine's) is made once into CACHE_DIR and never changed: each run works on an overlay of it
# (or a copy where overlays cannot be mounted). FOLDER is bound at /work in the root and SCRIPT (a
# path inside FOLDER) runs there with ARGS. The packages apt downloads are kept in CACHE_DIR, so
# later runs reach the mirrors only for their indexes. The mounts live in a mount namespace of their
# own and end with it.
set -euo pipefail
release=$1 cache=$(realpath -m "$2") packages=$3 folder=$(realpath "$4") script=$5
shift 5
[ "$(id -u)" = 0 ] || { echo "release-root: needs root (mmdebstrap, mount, chroot)" >&2; exit 1; }
case $release in
    12) suite=bookworm ;;
    13) suite=trixie ;;
    *) echo "release-root: Debian $release is not a release this project supports (12, 13)" >&2; exit 1 ;;
esac

base=$cache/debian-$release
archives=$cache/archives-$release
if [ ! -f "$base/.made" ]; then
    sources=/etc/apt/sources.list.d/debian.sources
    [ -f "$sources" ] || sources=/etc/apt/sources.list
    here_suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    mkdir -p "$cache"
    sed -e "s/\b$here_suite\b/$suite/g" "$sources" >"$cache/$suite.sources"
    echo "release-root: making the base Debian $release root in $base (once)"
    rm -rf "$base"
    mmdebstrap --quiet --variant=apt --include="$packages" "$suite" "$base" "$cache/$suite.sources"
    touch "$base/.made"
fi
mkdir -p "$archives/partial"

work=$(mktemp -d "$cache/run.XXXXXX")
# Only what was written in the run is removed, never a file system mounted into it.
trap 'rm -rf --one-file-system "$work"' EXIT
mkdir -p "$work/upper" "$work/overlay" "$work/root"

unshare --mount --propagation private bash -euo pipefail -s -- \
    "$base" "$work" "$archives" "$folder" "$script" "$@" <<'IN_NAMESPACE'
base=$1 work=$2 archives=$3 folder=$4 script=$5
shift 5
root=$work/root
if ! mount -t overlay overlay -o "lowerdir=$base,upperdir=$work/upper,workdir=$work/overlay" \
        "$root" 2>/dev/null; then
    cp -a "$base/." "$root/"
fi
mount -t proc proc "$root/proc"
mount --bind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind "$archives" "$root/var/cache/apt/archives"
mkdir -p "$root/work"
mount --bind "$folder" "$root/work"
cp /etc/resolv.conf "$root/etc/resolv.conf"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
    LANG=C.UTF-8 TERM=dumb bash -c 'cd /work && exec bash "$@"' bash "$script" "$@" </dev/null
IN_NAMESPACE
