#!/bin/sh
# Runs a Windows test program under Wine, in a Wine prefix of its own:
#   run-under-wine.sh PREFIX PROGRAM [ARGUMENTS...]
# Exits 77 (which CTest counts as skipped) when Wine is not installed or the program was not
# built, and otherwise with the program's exit status.
set -u
prefix=$1
program=$2
shift 2

if ! command -v wine >/dev/null 2>&1; then
    echo "Wine is not installed: the Windows tests are skipped"
    exit 77
fi
if [ ! -f "$program" ]; then
    echo "$program was not built (make windows builds it): the Windows tests are skipped"
    exit 77
fi

export WINEPREFIX="$prefix" WINEDEBUG=-all
# No Mono or Gecko in the prefix: nothing here needs them, and first start-up would offer to
# download them.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    started=$(date +%s)
    wineboot --init >/dev/null 2>&1
    wineserver --wait
    echo "Created the Wine prefix $prefix in $(($(date +%s) - started)) s"
fi

started=$(date +%s)
wine "$program" "$@"
status=$?
# The Wine server outlives the program for a moment; wait, so that no process is left behind.
wineserver --wait
echo "Ran $(basename "$program") under Wine in $(($(date +%s) - started)) s"
exit $status
