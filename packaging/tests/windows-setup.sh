#!/usr/bin/env bash
# Runs the Windows installer silently under Wine in a new prefix, as an administrator's script
# would, then its uninstaller:
#
#   windows-setup.sh SETUP_EXE AEX VERSION
#
# A plain /S install puts the .aex, byte for byte, into the common plug-in folder and registers
# the uninstaller in Add/Remove Programs; /D= moves it to another folder (a path with spaces),
# removing the first copy; a later /S install keeps that folder. A /D= that NSIS would ignore
# (quoted, relative) and a folder that cannot be written are refused with exit code 2, the
# installation left as it was; a copy held open, as a running host holds it, is replaced or
# removed at the next restart, with exit code 3010. The uninstaller, silent, removes the .aex,
# its registration and itself.
set -euo pipefail
setup=$(realpath "$1")
aex=$(realpath "$2")
version=$3
fail() { echo "windows-setup: $*" >&2; exit 1; }

prefix=$(mktemp -d)
trap 'WINEPREFIX=$prefix/wine wineserver -k 2>/dev/null || true
    ! mountpoint -q "$prefix/full" || umount "$prefix/full"; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1
wineserver --wait

c=$WINEPREFIX/drive_c
common="$c/Program Files/Adobe/Common/Plug-ins/7.0/MediaCore/OndrelShapes.aex"
host="$c/Host/Support Files/Plug-ins/OndrelShapes.aex"
uninstaller="$c/Program Files/OndrelShapes/Uninstall OndrelShapes.exe"
cp "$setup" "$c/setup.exe"
# The installer from a batch file, which passes the line as typed (Wine's own command line would
# escape its quotes): /D= takes the rest of the line, spaces and all, unquoted. The batch file
# keeps the installer's exit code whole (Wine's own exit status keeps its low eight bits). With
# HELD, cmd holds that file open as the installer's standard input, without sharing its deletion,
# as a running host holds its plug-in.
setup_exit() {
    local line="C:\\setup.exe $1"
    [ -z "${HELD:-}" ] || line="<\"$HELD\" $line"
    printf '%s\r\n>C:\\setup.rc echo %%ERRORLEVEL%%\r\n' "$line" >"$c/setup.bat"
    rm -f "$c/setup.rc"
    wine cmd /c 'C:\setup.bat' >/dev/null 2>&1 || true
    wineserver --wait
    tr -d '\r\n ' <"$c/setup.rc"
}
setup_exits() {
    local rc
    rc=$(setup_exit "$2")
    [ "$rc" = "$1" ] || fail "setup $2 exited with $rc, not $1"
}
setup() { setup_exits 0 "$1"; }
# Windows as it starts again: Wine carries out the renames and deletions left for the restart.
restart() { wineboot --restart >/dev/null 2>&1; wineserver --wait; }
# The registry as Wine saves it once its server has stopped.
key() { grep -A12 -F "[Software\\\\$1]" "$WINEPREFIX/system.reg" || true; }
uninstall_key='Microsoft\\Windows\\CurrentVersion\\Uninstall\\OndrelShapes'
# Both keys, with the time Wine saves for each key's last change.
registration() { key OndrelShapes; key "$uninstall_key"; }

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

# Refused: a quoted or relative /D=, a folder under a file, a file as the folder, a folder where
# the plug-in cannot be written (a folder holds the name it is first written under) and, where a
# tmpfs can be mounted (as root), a full disk as drive F:. The installation stays as it was: the
# same plug-in, uninstaller and registry keys.
: >"$c/Blocked"
mkdir -p "$c/Busy/OndrelShapes.aex.new" "$prefix/full"
refused=('/S /D="C:\Quoted Dir"' '/S /D=Relative\Plug-ins' '/S /D=C:\Blocked\Plug-ins' '/S /D=C:\Blocked'
    '/S /D=C:\Busy')
if mount -t tmpfs -o size=64k tmpfs "$prefix/full" 2>/dev/null; then
    ln -s "$prefix/full" "$WINEPREFIX/dosdevices/f:"
    refused+=('/S /D=F:\Plug-ins')
else
    echo "windows-setup: no tmpfs could be mounted, so a full disk is not tried"
fi
cp "$uninstaller" "$prefix/uninstaller"
before=$(registration)
for args in "${refused[@]}"; do
    setup_exits 2 "$args"
    cmp "$aex" "$host" && cmp "$prefix/uninstaller" "$uninstaller" ||
        fail "setup $args changed the installed files"
    [ "$(registration)" = "$before" ] || fail "setup $args changed the registry:
$(registration)"
done
[ ! -e "$c/Quoted Dir" ] && [ "$(ls -A "$c/Busy")" = OndrelShapes.aex.new ] &&
    [ -z "$(ls -A "$c/Busy/OndrelShapes.aex.new")" ] && [ -z "$(ls -A "$prefix/full")" ] ||
    fail "a refused install left files behind"
rm -r "$c/Busy" "$c/Blocked"

# Held open. Moved to another folder, the new copy and the registry are in place at once and the
# held copy goes at the restart; installed again in place, an earlier version's bytes stay until
# the restart puts the new ones there.
other="$c/Other Plug-ins/OndrelShapes.aex"
HELD='C:\Host\Support Files\Plug-ins\OndrelShapes.aex' setup_exits 3010 '/S /D=C:\Other Plug-ins'
cmp "$aex" "$other" && [ -f "$host" ] || fail "a move from a held copy did not install beside it"
grep -qF '"PluginFolder"="C:\\Other Plug-ins"' <<<"$(key OndrelShapes)" &&
    grep -qF '"InstallLocation"="C:\\Other Plug-ins"' <<<"$(key "$uninstall_key")" ||
    fail "a move from a held copy did not register the new folder"
restart
[ ! -e "$host" ] || fail "the restart did not remove the held copy"
echo 'an earlier version' >"$other"
HELD='C:\Other Plug-ins\OndrelShapes.aex' setup_exits 3010 /S
grep -qx 'an earlier version' "$other" || fail "the held copy changed while it was held"
restart
cmp "$aex" "$other" && [ ! -e "$other.new" ] ||
    fail "the restart did not put the new plug-in in place of the held one"

# The uninstaller copies itself to the temporary folder and runs from there, so that it can delete
# itself; the server's end is the copy's.
wine "C:\Program Files\OndrelShapes\Uninstall OndrelShapes.exe" /S >/dev/null 2>&1
wineserver --wait
[ ! -e "$other" ] || fail "the uninstaller left the .aex"
[ ! -e "$uninstaller" ] && [ ! -e "$(dirname "$uninstaller")" ] ||
    fail "the uninstaller left itself or its folder"
[ -z "$(key "$uninstall_key")" ] && [ -z "$(key OndrelShapes)" ] ||
    fail "the uninstaller left its registry keys"
echo "windows-setup: silent install (/S, /D=), refusals, held copies, upgrade and uninstall under Wine"
