#!/usr/bin/env bash
# Runs the Windows installer silently under Wine in a new prefix, as an administrator's script
# would, then its uninstaller:
#
#   windows-setup.sh SETUP_EXE AEX VERSION
#
# A plain /S install puts the .aex, byte for byte, into the common plug-in folder and registers
# the uninstaller in Add/Remove Programs; /D= moves it to another folder (a path with spaces),
# removing the first copy and the folders setup made for it (a folder that was there before setup,
# or that holds another file, stays); a later /S install keeps that folder. Add/Remove Programs
# names a publisher and an icon. A /D= that NSIS would ignore (quoted, relative) and a folder that
# cannot be written are refused with exit code 2, the installation left as it was; a copy held
# open, as a running host holds it, is replaced or removed at the next restart, with exit code
# 3010. The uninstaller, silent, removes the .aex, its registration, itself and the folders setup
# made for the plug-in, whose folder it knows from the installation's record.
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
# The registry as Wine saves it once its server has stopped: the key's lines up to the blank line
# that ends it.
key() {
    KEY="[Software\\\\$1]" awk 'index($0, ENVIRON["KEY"]) == 1 { found = 1 } found && /^$/ { exit }
        found' "$WINEPREFIX/system.reg"
}
# A value of a key as system.reg writes it, "" when it has none.
value() { key "$1" | sed -n "s/^\"$2\"=//p"; }
uninstall_key='Microsoft\\Windows\\CurrentVersion\\Uninstall\\OndrelShapes'
# Both keys, with the time Wine saves for each key's last change.
registration() { key OndrelShapes; key "$uninstall_key"; }

setup /S
cmp "$aex" "$common" || fail "a /S install did not put the .aex into the common plug-in folder"
[ -f "$uninstaller" ] || fail "no uninstaller in Program Files\\OndrelShapes"
entry=$(key "$uninstall_key")
for value in '"DisplayName"="OndrelShapes"' "\"DisplayVersion\"=\"$version\"" \
    '"UninstallString"="\"C:\\Program Files\\OndrelShapes\\Uninstall OndrelShapes.exe\""' \
    '"QuietUninstallString"="\"C:\\Program Files\\OndrelShapes\\Uninstall OndrelShapes.exe\" /S"' \
    '"DisplayIcon"="\"C:\\Program Files\\OndrelShapes\\Uninstall OndrelShapes.exe\",0"'; do
    grep -qF "$value" <<<"$entry" || fail "Add/Remove Programs lacks $value in
$entry"
done
publisher=$(value "$uninstall_key" Publisher)
[ -n "$publisher" ] && [ "$publisher" != '"OndrelShapes"' ] ||
    fail "Add/Remove Programs names no publisher but the product: ${publisher:-none}"
# A new prefix has no Adobe folder: setup made it, and records it.
[ "$(value OndrelShapes CreatedFolder)" = '"C:\\Program Files\\Adobe"' ] ||
    fail "setup did not record the folder it made: $(key OndrelShapes)"

setup '/S /D=C:\Host\Support Files\Plug-ins'
cmp "$aex" "$host" || fail "/D= did not put the .aex into C:\\Host\\Support Files\\Plug-ins"
[ ! -e "$common" ] || fail "installing into another folder left the first copy behind"
[ ! -e "$c/Program Files/Adobe" ] || fail "a move left the folders setup made for the first copy"
setup /S
[ -f "$host" ] && [ ! -e "$common" ] || fail "a second /S install did not keep the chosen folder"
[ "$(value OndrelShapes CreatedFolder)" = '"C:\\Host"' ] ||
    fail "installed again in place, setup forgot the folders it made: $(key OndrelShapes)"

# A move removes the folders setup made, up to one that holds another file; a folder that was
# there before, empty, stays.
mkdir "$c/Studio"
echo 'notes' >"$c/Host/notes.txt"
setup '/S /D=C:\Studio\Ondrel'
cmp "$aex" "$c/Studio/Ondrel/OndrelShapes.aex" || fail "/D= did not put the .aex into C:\Studio\Ondrel"
[ ! -e "$c/Host/Support Files" ] && [ -f "$c/Host/notes.txt" ] ||
    fail "a move did not remove the folders setup made, or removed one holding a file"
setup '/S /D=C:\Host\Support Files\Plug-ins'
[ ! -e "$c/Studio/Ondrel" ] && [ -d "$c/Studio" ] ||
    fail "a move did not remove the folder setup made, or removed the one that was there"
[ "$(value OndrelShapes CreatedFolder)" = '"C:\\Host\\Support Files"' ] ||
    fail "setup did not record the folders it made below C:\\Host: $(key OndrelShapes)"
rm -r "$c/Studio" "$c/Host/notes.txt"

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
# The plug-in's folder is the one the uninstaller knew, from the installation's record: setup made
# it for the move from a held copy, and kept the record when it installed again in place.
[ ! -e "$(dirname "$other")" ] || fail "the uninstaller left the folder setup made for the plug-in"
[ ! -e "$uninstaller" ] && [ ! -e "$(dirname "$uninstaller")" ] ||
    fail "the uninstaller left itself or its folder"
[ -z "$(key "$uninstall_key")" ] && [ -z "$(key OndrelShapes)" ] ||
    fail "the uninstaller left its registry keys"
echo "windows-setup: silent install (/S, /D=), refusals, held copies, upgrade and uninstall under Wine"
