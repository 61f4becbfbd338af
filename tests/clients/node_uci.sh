#!/usr/bin/env bash
# Installs node-uci 1.3.4 from the npm registry into a scratch folder and drives pawnlark
# through it (node_uci.js). Exits 77 (skipped) where node or npm is missing or the registry
# cannot be reached.
set -euo pipefail
binary=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "skipped: node or npm is missing"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! timeout 300 npm install --prefix "$scratch" --no-audit --no-fund --ignore-scripts \
        node-uci@1.3.4 >"$scratch/npm.log" 2>&1; then
    cat "$scratch/npm.log"
    echo "skipped: node-uci could not be installed from the npm registry"
    exit 77
fi
# node-uci starts an engine by its path alone, so each set of arguments gets a script.
for wrapper in "full:--options full" "plain:" "thinking:--think"; do
    name=${wrapper%%:*}
    printf '#!/bin/sh\nexec "%s" %s\n' "$binary" "${wrapper#*:}" >"$scratch/$name"
    chmod +x "$scratch/$name"
done
timeout 120 node "$here/node_uci.js" "$scratch/node_modules/node-uci" \
    "$scratch/full" "$scratch/plain" "$scratch/thinking" "$binary"
