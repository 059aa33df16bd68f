#!/bin/sh
# Runs a test program of another build: run-if-built.sh 'make TARGET' PROGRAM [ARGUMENTS...], the
# make target naming how that build is made. ONDREL_RUNNER, where set, is the command that runs the
# program (an emulator for another processor's build).
# Exits 77 (which CTest counts as skipped) when that build has not made the program.
made_by=$1
shift
if [ ! -x "$1" ]; then
    echo "$1 was not built ($made_by builds it): its tests are skipped"
    exit 77
fi
# ONDREL_RUNNER is a command and its arguments, split at spaces.
# shellcheck disable=SC2086
exec $ONDREL_RUNNER "$@"
