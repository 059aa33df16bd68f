#!/usr/bin/env bash
# Renders every effect of the built module with its default parameters over the built-in layer,
# one PNG per effect: render-defaults.sh BUILD_DIR OUTPUT_DIR.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR OUTPUT_DIR" >&2
    exit 2
fi
build=$1
out=$2
ondrel="$build/cli/ondrel"
module="$build/plugin/OndrelShapes.so"

if [ ! -x "$ondrel" ]; then
    echo "render-defaults: $ondrel is not built (configure with ONDREL_BUILD_CLI=ON)" >&2
    exit 1
fi

mkdir -p "$out"
effects=$("$ondrel" list --module "$module" | awk 'NR > 1 { print $1 }')
if [ -z "$effects" ]; then
    echo "render-defaults: the module lists no effects" >&2
    exit 1
fi

for effect in $effects; do
    "$ondrel" render "$effect" --module "$module" -o "$out/$effect.png"
    echo "$out/$effect.png"
done
