#!/usr/bin/env bash
# Runs the Windows installer silently under Wine in a new prefix, as an administrator's script
# would, then its uninstaller:
#
#   windows-setup.sh SETUP_EXE AEX VERSION
#
# A plain /S install puts the .aex, byte for byte, into the common plug-in folder and registers
# the uninstaller in Add/Remove Programs; /D= moves it to another folder (a path with spaces),
# removing the first copy; a later /S install keeps that folder; the uninstaller, silent, removes
# the .aex, its registration and itself.
set -euo pipefail
setup=$(realpath "$1")
aex=$(realpath "$2")
version=$3
fail() { echo "windows-setup: $*" >&2; exit 1; }

prefix=$(mktemp -d)
trap 'WINEPREFIX=$prefix/wine wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1
wineserver --wait

c=$WINEPREFIX/drive_c
common="$c/Program Files/Adobe/Common/Plug-ins/7.0/MediaCore/OndrelShapes.aex"
host="$c/Host/Support Files/Plug-ins/OndrelShapes.aex"
uninstaller="$c/Program Files/OndrelShapes/Uninstall OndrelShapes.exe"
cp "$setup" "$c/setup.exe"
# The installer through cmd, which passes the line as typed: /D= takes the rest of the line,
# spaces and all, unquoted.
setup() { wine cmd /c "C:\setup.exe $1" >/dev/null 2>&1; wineserver --wait; }
# The registry as Wine saves it once its server has stopped.
key() { grep -A12 -F "[Software\\\\$1]" "$WINEPREFIX/system.reg" || true; }
uninstall_key='Microsoft\\Windows\\CurrentVersion\\Uninstall\\OndrelShapes'

setup /S
cmp "$aex" "$common" || fail "a /S install did not put the .aex into the common plug-in folder"
[ -f "$uninstaller" ] || fail "no uninstaller in Program Files\\OndrelShapes"
entry=$(key "$uninstall_key")
for value in '"DisplayName"="OndrelShapes"' "\"DisplayVersion\"=\"$version\"" \
    '"UninstallString"="\"C:\\Program Files\\OndrelShapes\\Uninstall OndrelShapes.exe\""' \
    '"QuietUninstallString"="\"C:\\Program Files\\OndrelShapes\\Uninstall OndrelShapes.exe\" /S"'; do
    grep -qF "$value" <<<"$entry" || fail "Add/Remove Programs lacks $value in
$entry"
done

setup '/S /D=C:\Host\Support Files\Plug-ins'
cmp "$aex" "$host" || fail "/D= did not put the .aex into C:\\Host\\Support Files\\Plug-ins"
[ ! -e "$common" ] || fail "installing into another folder left the first copy behind"
setup /S
[ -f "$host" ] && [ ! -e "$common" ] || fail "a second /S install did not keep the chosen folder"

# The uninstaller copies itself to the temporary folder and runs from there, so that it can delete
# itself; the server's end is the copy's.
wine "C:\Program Files\OndrelShapes\Uninstall OndrelShapes.exe" /S >/dev/null 2>&1
wineserver --wait
[ ! -e "$host" ] || fail "the uninstaller left the .aex"
[ ! -e "$uninstaller" ] && [ ! -e "$(dirname "$uninstaller")" ] ||
    fail "the uninstaller left itself or its folder"
[ -z "$(key "$uninstall_key")" ] && [ -z "$(key OndrelShapes)" ] ||
    fail "the uninstaller left its registry keys"
echo "windows-setup: silent install (/S, /D=), upgrade and uninstall under Wine"
