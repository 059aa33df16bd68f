#!/usr/bin/env bash
# Installs the .deb with apt-get in a new Debian 12 root, as a user would, then runs
# installed-ondrel.sh there:
#
#   debian-root.sh DEB CACHE_DIR VERSION EXPECTED_RENDER
#
# The base root (mmdebstrap's "apt" variant, with man-db and bash-completion, from this machine's
# Debian sources) is made once into CACHE_DIR and never changed: each run works on an overlay of
# it (or a copy where overlays cannot be mounted) that is thrown away afterwards. The packages
# apt downloads are kept in CACHE_DIR/archives, so later runs reach the mirrors only for their
# indexes. The mounts live in a mount namespace of their own and end with it.
set -euo pipefail
deb=$(realpath "$1")
cache=$(realpath -m "$2")
version=$3
expected=$(realpath "$4")
here=$(dirname "$(realpath "$0")")
[ "$(id -u)" = 0 ] || { echo "debian-root: needs root (mmdebstrap, mount, chroot)" >&2; exit 1; }

base=$cache/debian-12
if [ ! -f "$base/.made" ]; then
    sources=/etc/apt/sources.list.d/debian.sources
    [ -f "$sources" ] || sources=/etc/apt/sources.list
    echo "debian-root: making the base Debian 12 root in $base (once)"
    rm -rf "$base" && mkdir -p "$cache"
    mmdebstrap --quiet --variant=apt --include=man-db,bash-completion bookworm "$base" "$sources"
    touch "$base/.made"
fi
mkdir -p "$cache/archives/partial"

work=$(mktemp -d "$cache/run.XXXXXX")
# Only what was written in the run is removed, never a file system mounted into it.
trap 'rm -rf --one-file-system "$work"' EXIT
mkdir -p "$work/upper" "$work/overlay" "$work/root"
cp "$deb" "$here/installed-ondrel.sh" "$expected" "$work/"

unshare --mount --propagation private bash -euo pipefail -s -- \
    "$base" "$work" "$cache/archives" "$(basename "$deb")" "$version" "$(basename "$expected")" <<'IN_NAMESPACE'
base=$1 work=$2 archives=$3 deb=$4 version=$5 expected=$6
root=$work/root
if ! mount -t overlay overlay -o "lowerdir=$base,upperdir=$work/upper,workdir=$work/overlay" \
        "$root" 2>/dev/null; then
    cp -a "$base/." "$root/"
fi
mount -t proc proc "$root/proc"
mount --bind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind "$archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir -p "$root/check"
cp "$work/$deb" "$work/installed-ondrel.sh" "$work/$expected" "$root/check/"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
    LANG=C.UTF-8 TERM=dumb bash /check/installed-ondrel.sh "/check/$deb" "$version" "/check/$expected" \
    </dev/null
IN_NAMESPACE
