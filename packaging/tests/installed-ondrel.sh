#!/usr/bin/env bash
# Runs inside a new root of the package's Debian release (debian-root.sh): installs the .deb with apt-get, as a user
# would, and checks what the user then has on the PATH:
#
#   installed-ondrel.sh DEB VERSION EXPECTED_RENDER "EFFECT ..."
#
# ondrel and its version, the effects the module's sources list (in name order, each followed by a
# space), the module found without --module, a render that matches the build
# tree's byte for byte, the man page with every option the help names, bash completion of
# subcommands, options, effects, parameters and popup items, and a purge that leaves nothing.
set -euo pipefail
deb=$1 version=$2 expected=$3 listed=$4
fail() { echo "installed-ondrel: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

apt-get update -qq
apt-get install -y -qq -o Dpkg::Options::=--force-unsafe-io "$deb" >/tmp/apt.log 2>&1 ||
    { cat /tmp/apt.log; fail "apt-get install $deb failed"; }

[ "$(command -v ondrel)" = /usr/bin/ondrel ] || fail "ondrel is not /usr/bin/ondrel on the PATH"
[ "$(ondrel --version)" = "ondrel $version" ] || fail "ondrel --version says '$(ondrel --version)'"
effects=$(ondrel list | awk 'NR > 1 { print $1 }' | sort | tr '\n' ' ')
[ "$effects" = "$listed" ] || fail "ondrel list gives '$effects', the sources '$listed'"
# CLI11 shows a default as TEXT=DEFAULT (Debian 12) or TEXT [DEFAULT] (Debian 13).
ondrel --help | grep -qF -e "--module TEXT=/usr/lib/ondrel/OndrelShapes.so" \
    -e "--module TEXT [/usr/lib/ondrel/OndrelShapes.so]" ||
    fail "the help does not name /usr/lib/ondrel/OndrelShapes.so as the default module"

cd "$(mktemp -d)"
ondrel render OndrelTriangle -o triangle.png --size 96x64 --set "Rotation=30" \
    --set "Mode=Fill and Stroke" --set "Stroke Width=4" >/dev/null
cmp triangle.png "$expected" || fail "the installed ondrel renders other bytes than the build's"

# The man page, as man shows it, names every subcommand and option of the help.
page=$(MANWIDTH=200 man ondrel 2>&1) || fail "man ondrel: $page"
for help in "" list about params render recipe submit serve; do
    for option in $(ondrel $help --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -- "$option" <<<"$page" || fail "man ondrel lacks ${help:-the global option} $option"
    done
done
grep -q "^ *ondrel render \[OPTIONS\] \[EFFECT\]" <<<"$page" || fail "man ondrel lacks render's usage"

# bash completion, loaded as an interactive shell loads it, with what each line completes to.
completions=$(bash --norc -c '
    source /usr/share/bash-completion/bash_completion
    _completion_loader ondrel
    complete -p ondrel >/dev/null || exit 1
    # The words as bash splits the line: "=" is a word of its own.
    t() {
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE=""
        local w p=""
        for w in "$@"; do
            [[ -n $COMP_LINE && $w != "=" && $p != "=" ]] && COMP_LINE+=" "
            COMP_LINE+=$w; p=$w
        done
        COMP_POINT=${#COMP_LINE}; COMPREPLY=()
        _ondrel ondrel "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" "|"; echo
    }
    t ondrel r
    t ondrel render --s
    t ondrel params Ondrel
    t ondrel render OndrelCircle --set Fi
    t ondrel render OndrelCircle --set Mode = F
    t ondrel recipe OndrelRectangle --interpolation '"'"'Anchor\ Point'"'"' = e
    t ondrel --module /usr/lib/ondrel/OndrelShapes.so render OndrelLine --depth ""
') || fail "bash completion for ondrel is not installed where bash-completion loads it"
expected_completions="recipe|render|
--set|--size|--skip-existing|--strict|
$(echo "$listed" | tr ' ' '|')
Fill\\ Color=|
Fill|Fill\\ and\\ Stroke|
ease|
16|32|8|"
[ "$completions" = "$expected_completions" ] ||
    fail "bash completion gives
$completions
instead of
$expected_completions"

apt-get purge -y -qq ondrel >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "apt-get purge failed"; }
left=$(ls -d /usr/bin/ondrel /usr/lib/ondrel /usr/share/doc/ondrel \
    /usr/share/bash-completion/completions/ondrel 2>/dev/null || true)
[ -z "$left" ] || fail "apt-get purge ondrel left $left"
echo "installed-ondrel: apt-get installed $deb; ondrel $version lists, renders, has its man page" \
    "and completion, and purges cleanly"
