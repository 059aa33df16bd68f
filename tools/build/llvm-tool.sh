#!/bin/sh
# Prints the newest installed LLVM tool NAME whose version is at least MIN, as a path:
#   llvm-tool.sh NAME MIN [WHAT-TO-INSTALL]
#   llvm-tool.sh ld64.lld 16   ->  /usr/lib/llvm-16/bin/ld64.lld (Debian 12), /usr/lib/llvm-19/... (13)
# Debian installs each LLVM version's tools in /usr/lib/llvm-N/bin, whatever the release names its
# packages, so the version is read from the folder; a tool found only on PATH is asked its version.
# When none fits, one line says what to install (WHAT-TO-INSTALL, or the tool and version).
set -u
name=$1
min=$2
hint=${3:-"$name from LLVM $min or later"}
best=
best_major=0
consider() { # path major
    if [ -x "$1" ] && [ "$2" -ge "$min" ] && [ "$2" -gt "$best_major" ]; then
        best=$1
        best_major=$2
    fi
}
for tool in /usr/lib/llvm-[0-9]*/bin/"$name"; do
    major=${tool#/usr/lib/llvm-}
    consider "$tool" "${major%%/*}"
done
if [ -z "$best" ] && on_path=$(command -v "$name"); then
    major=$("$on_path" --version 2>/dev/null |
        sed -n 's/.*\(LLD\|version\) \([0-9][0-9]*\)\.[0-9].*/\2/p' | head -n 1)
    [ -n "$major" ] && consider "$on_path" "$major"
fi
if [ -z "$best" ]; then
    echo "llvm-tool.sh: no $name of LLVM $min or later is installed: install $hint" >&2
    exit 1
fi
echo "$best"
