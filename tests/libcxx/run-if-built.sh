#!/bin/sh
# Runs a test program of the libcxx build: run-if-built.sh PROGRAM [ARGUMENTS...]
# Exits 77 (which CTest counts as skipped) when that build has not made it.
if [ ! -x "$1" ]; then
    echo "$1 was not built (make libcxx builds it): the clang and libc++ tests are skipped"
    exit 77
fi
exec "$@"
