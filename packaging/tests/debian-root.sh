#!/usr/bin/env bash
# Installs the .deb with apt-get in a new root of the Debian release it was built for (its name
# says which: ondrel_VERSION-1~deb13_amd64.deb is for Debian 13), as a user would, then runs
# installed-ondrel.sh there (the root: ../release-root.sh, with man-db and bash-completion):
#
#   debian-root.sh DEB CACHE_DIR VERSION EXPECTED_RENDER
set -euo pipefail
deb=$(realpath "$1") cache=$2 version=$3 expected=$(realpath "$4")
here=$(dirname "$(realpath "$0")")
release=$(basename "$deb" | sed -n 's/.*~deb\([0-9][0-9]*\)_amd64\.deb$/\1/p')
[ -n "$release" ] || { echo "debian-root: $(basename "$deb") names no Debian release" >&2; exit 1; }
# The effects the installed ondrel must list: the module's own list in the sources.
listed=$(sed -n 's/^ *X([a-z0-9]*, "\([^"]*\)".*/\1/p' "$here/../../plugin/Shapes/OndrelRegistration.h" |
    sort | tr '\n' ' ')
[ -n "$listed" ] || { echo "debian-root: no effects found in the module's registration table" >&2; exit 1; }

check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
cp "$deb" "$here/installed-ondrel.sh" "$check/"
cp "$expected" "$check/expected.png"
"$here/../release-root.sh" "$release" "$cache" man-db,bash-completion "$check" installed-ondrel.sh \
    "/work/$(basename "$deb")" "$version" /work/expected.png "$listed"
