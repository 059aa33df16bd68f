#!/usr/bin/env bash
# Makes the other supported Debian release's package on this machine (on Debian 12 the Debian 13
# one, and the other way round), so that one release carries both:
#
#   other-release-deb.sh DIST_DIR CACHE_DIR
#
# The committed HEAD is cloned into a new root of that release (release-root.sh, with git, make and
# ca-certificates), where `make deb` installs the build's packages by that release's names, builds
# and packages; the .deb lands in DIST_DIR beside this release's, and SHA256SUMS is written again.
set -euo pipefail
dist=$(realpath -m "$1") cache=$2
here=$(dirname "$(realpath "$0")")
release=$(. /etc/os-release && echo "${VERSION_ID%%.*}")
case $release in
    12) other=13 ;;
    13) other=12 ;;
    *) echo "other-release-deb: this machine runs Debian $release, not 12 or 13" >&2; exit 1 ;;
esac
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "other-release-deb: the package is built from the committed HEAD, not the changes in the work tree"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone --quiet "$(git rev-parse --show-toplevel)" "$work/project"
cat >"$work/build.sh" <<'IN_ROOT'
set -euo pipefail
cd /work/project
make --no-print-directory deb
cp dist/ondrel_*_amd64.deb /work/
IN_ROOT
echo "other-release-deb: building the Debian $other package in a new Debian $other root"
"$here/release-root.sh" "$other" "$cache" git,make,ca-certificates "$work" build.sh
mkdir -p "$dist"
cp "$work"/ondrel_*~deb"$other"_amd64.deb "$dist/"
cd "$dist" && sha256sum $(ls | grep -vx SHA256SUMS) >SHA256SUMS
ls -l "$dist"
