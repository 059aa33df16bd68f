#!/bin/sh
# Fails when a slice of a Mach-O file holds a fused multiply-add instruction, which rounds once
# where the Linux and Windows builds round twice and so can change a pixel:
#   check_no_fused_multiply_add.sh BINARY
# Exits 77 (which CTest counts as skipped) when the binary or an llvm-objdump of LLVM 16 or later
# is missing.
set -u
binary=$1

if ! objdump=$("$(dirname "$0")/../../tools/build/llvm-tool.sh" llvm-objdump 16 "llvm (make mac installs it)"); then
    echo "the check is skipped"
    exit 77
fi
if [ ! -f "$binary" ]; then
    echo "$binary was not built (make mac builds it): the check is skipped"
    exit 77
fi

status=0
for arch in x86_64 arm64; do
    listing=$("$objdump" --macho --arch=$arch -d --no-show-raw-insn "$binary") || exit 1
    instructions=$(printf '%s\n' "$listing" | grep -c '^ *[0-9a-f]*:')
    fused=$(printf '%s\n' "$listing" |
        grep -E '\s(vf(n)?m(add|sub)[0-9a-z]*|vfmaddsub[0-9a-z]*|vfmsubadd[0-9a-z]*|fn?madd|fn?msub|fmla|fmls)\s')
    if [ "$instructions" -lt 1000 ]; then
        echo "$arch: only $instructions instructions disassembled"
        status=1
    elif [ -n "$fused" ]; then
        echo "$arch: fused multiply-adds:"
        printf '%s\n' "$fused" | head -20
        status=1
    else
        echo "$arch: $instructions instructions, no fused multiply-add"
    fi
done
exit $status
