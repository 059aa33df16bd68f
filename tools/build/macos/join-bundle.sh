#!/bin/sh
# Joins the bundles built for each architecture into one universal bundle:
#   join-bundle.sh OUTPUT X86_64_BUNDLE ARM64_BUNDLE
# Both hold the same Info.plist, PkgInfo and registration resources; their binaries become the two
# slices of one universal binary (llvm-lipo keeps each slice's bytes, and so its signature). The
# bundle is assembled beside OUTPUT and then moved into place, so a failed join leaves no
# half-written bundle.
set -eu
out=$1
intel=$2
arm=$3
binary=Contents/MacOS/OndrelShapes
lipo=$("$(dirname "$0")/../llvm-tool.sh" llvm-lipo 16)

if ! diff -r -x OndrelShapes "$intel" "$arm" >/dev/null; then
    echo "join-bundle.sh: $intel and $arm differ in more than their binaries:" >&2
    diff -r -x OndrelShapes "$intel" "$arm" >&2
    exit 1
fi
partial=$out.partial
rm -rf "$partial"
mkdir -p "$(dirname "$out")"
cp -R "$intel" "$partial"
"$lipo" -create "$intel/$binary" "$arm/$binary" -output "$partial/$binary"
chmod 755 "$partial/$binary"
rm -rf "$out"
mv "$partial" "$out"
echo "Universal bundle: $out ($("$lipo" -archs "$out/$binary"))"
