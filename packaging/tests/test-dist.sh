#!/usr/bin/env bash
# Tests the packages that make dist wrote, as they are, without building them again:
#
#   test-dist.sh VERSION DIST_DIR RELEASE_BUILD WINDOWS_BUILD CACHE_DIR
#
# The checksums, the names (one version names everything), what each archive holds (and that it
# holds the build's own bytes), lintian on the .deb, `make install` with DESTDIR and PREFIX, the
# Windows installer under Wine (windows-setup.sh) and each .deb installed with apt-get in a new
# root of the Debian release it is for (debian-root.sh): this machine's release's, which make dist
# wrote, and the other release's where make other-release-deb added it. Run from the project's root.
set -euo pipefail
version=$1 dist=$2 build=$3 windows=$4 cache=$5
here=$(dirname "$0")
fail() { echo "test-dist: $*" >&2; exit 1; }
step() {
    local start=$SECONDS
    "$@"
    echo "test-dist: $1 passed ($((SECONDS - start)) s)"
}
# Whether the help on standard input names this default module: CLI11 shows a default as
# TEXT=DEFAULT (Debian 12) or TEXT [DEFAULT] (Debian 13).
names_default_module() { grep -qF -e "--module TEXT=$1" -e "--module TEXT [$1]"; }
# Two lists, one name a line, the same once sorted.
same_list() {
    diff <(sort <<<"$2") <(sort <<<"$3") >&2 || fail "$1 holds other files than it should (< holds, > should)"
}

release=$(. /etc/os-release && echo "${VERSION_ID%%.*}")
deb=$dist/ondrel_${version}-1~deb${release}_amd64.deb
[ -f "$deb" ] || fail "$dist has no $(basename "$deb") for this machine's Debian $release"
debs=$(ls "$dist"/ondrel_"${version}"-1~deb*_amd64.deb)
windows_zip=$dist/OndrelShapes-${version}-windows-x64.zip
setup=$dist/OndrelShapes-${version}-windows-x64-setup.exe
mac=$dist/OndrelShapes-${version}-macos.zip
aex=$windows/plugin/OndrelShapes.aex

checksums() {
    local files expected
    files=$(ls "$dist" | grep -vx SHA256SUMS)
    expected="$(for d in $debs; do basename "$d"; done)
$(basename "$windows_zip")
$(basename "$setup")"
    expected+=$'\n'$(basename "$mac")
    same_list "$dist" "$files" "$expected"
    [ -f "$dist/SHA256SUMS" ] || fail "$dist has no SHA256SUMS"
    same_list SHA256SUMS "$(awk '{ print $2 }' "$dist/SHA256SUMS")" "$files"
    (cd "$dist" && sha256sum --check --strict --quiet SHA256SUMS)
}

debian_package() {
    local deb_release=${deb##*~deb}
    deb_release=${deb_release%_amd64.deb}
    [ "$(dpkg-deb --field "$deb" Package Version Architecture)" = "Package: ondrel
Version: $version-1~deb$deb_release
Architecture: amd64" ] || fail "$deb is not ondrel $version-1~deb$deb_release for amd64"
    # dpkg-shlibdeps names the C library and OpenImageIO's (2.4 in Debian 12, 2.5 in 13) with the
    # versions the binaries need.
    dpkg-deb --field "$deb" Depends | grep -q "libc6 (>= .*libopenimageio2\.[0-9]* (>= " ||
        fail "Depends does not come from the binaries: $(dpkg-deb --field "$deb" Depends)"
    same_list "$deb" "$(dpkg-deb --contents "$deb" | awk '!/^d/ { print $6 }')" \
        "./usr/bin/ondrel
./usr/lib/ondrel/OndrelShapes.so
./usr/lib/ondrel/OndrelShapes.pipl
./usr/share/man/man1/ondrel.1.gz
./usr/share/bash-completion/completions/ondrel
./usr/share/doc/ondrel/copyright
./usr/share/doc/ondrel/changelog.Debian.gz"
    local unpacked
    unpacked=$(mktemp -d)
    dpkg-deb --extract "$deb" "$unpacked"
    cmp "$unpacked/usr/lib/ondrel/OndrelShapes.pipl" "$build/plugin/OndrelShapes.pipl" ||
        fail "the .deb's registration records are not the build's"
    rm -rf "$unpacked"
    # Errors fail; warnings and notes are shown.
    local report
    report=$(lintian --allow-root --tag-display-limit 0 "$deb" 2>&1) || true
    [ -z "$report" ] || echo "$report"
    ! grep -q "^E: " <<<"$report" || fail "lintian reports errors in $deb"
}

zip_files() { python3 -c 'import sys, zipfile
print("\n".join(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/")))' "$1"; }

windows_zip() {
    local top=OndrelShapes-${version}-windows-x64
    same_list "$windows_zip" "$(zip_files "$windows_zip")" "$top/OndrelShapes.aex
$top/README.md
$top/LICENSE.txt"
    cmp <(unzip -p "$windows_zip" "$top/OndrelShapes.aex") "$aex" &&
        cmp <(unzip -p "$windows_zip" "$top/README.md") README.md &&
        cmp <(unzip -p "$windows_zip" "$top/LICENSE.txt") LICENSE ||
        fail "$windows_zip holds other bytes than the build's .aex, README.md and LICENSE"
}

mac_zip() {
    same_list "$mac" "$(zip_files "$mac")" "OndrelShapes.plugin/Contents/Info.plist
OndrelShapes.plugin/Contents/PkgInfo
OndrelShapes.plugin/Contents/MacOS/OndrelShapes
OndrelShapes.plugin/Contents/Resources/OndrelShapes.rsrc
README.md
LICENSE.txt" &&
        cmp <(unzip -p "$mac" README.md) README.md &&
        cmp <(unzip -p "$mac" LICENSE.txt) LICENSE ||
        fail "$mac holds other bytes than README.md and LICENSE"
}

windows_installer() { "$here/windows-setup.sh" "$setup" "$aex" "$version"; }

# `make install` under DESTDIR with another PREFIX: the command finds the module from its own
# folder wherever the tree lands, and the build tree's command keeps the one built beside it.
make_install() {
    local stage
    stage=$(mktemp -d)
    make --no-print-directory install DESTDIR="$stage" PREFIX=/opt/ondrel >/dev/null
    same_list "make install" "$(cd "$stage" && find . ! -type d)" "./opt/ondrel/bin/ondrel
./opt/ondrel/lib/ondrel/OndrelShapes.so
./opt/ondrel/lib/ondrel/OndrelShapes.pipl
./opt/ondrel/share/man/man1/ondrel.1.gz
./opt/ondrel/share/bash-completion/completions/ondrel
./opt/ondrel/share/doc/ondrel/copyright
./opt/ondrel/share/doc/ondrel/changelog.Debian.gz"
    "$stage/opt/ondrel/bin/ondrel" --help | names_default_module "$stage/opt/ondrel/lib/ondrel/OndrelShapes.so" ||
        fail "the installed ondrel does not take the module beside it"
    [ "$("$stage/opt/ondrel/bin/ondrel" list | wc -l)" = 5 ] || fail "the installed ondrel lists no effects"
    "$build/cli/ondrel" --help | names_default_module "$(realpath "$build")/plugin/OndrelShapes.so" ||
        fail "the build tree's ondrel does not take the module built beside it"
    rm -rf "$stage"
}

# The installed command renders the build tree's bytes, whichever release it was built for.
debian_root() {
    local expected
    expected=$(mktemp --suffix=.png)
    "$build/cli/ondrel" render OndrelTriangle -o "$expected" --size 96x64 --set "Rotation=30" \
        --set "Mode=Fill and Stroke" --set "Stroke Width=4" >/dev/null
    "$here/debian-root.sh" "$deb" "$cache" "$version" "$expected"
    rm -f "$expected"
}

step checksums
for deb in $debs; do step debian_package; done
deb=$dist/ondrel_${version}-1~deb${release}_amd64.deb
step windows_zip
step mac_zip
step make_install
step windows_installer
for deb in $debs; do step debian_root; done
