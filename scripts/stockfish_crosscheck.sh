#!/bin/bash
# Compares the legal move sets of positions from seeded random playouts with Debian's
# stockfish, and is_legal with the list for every from, to and promotion.
# Usage: scripts/stockfish_crosscheck.sh [positions (default 5000)] [build directory]
set -euo pipefail

positions=${1:-5000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build/crosscheck}

if ! command -v stockfish >/dev/null && [ ! -x /usr/games/stockfish ]; then
    echo "stockfish is not installed (apt-get install stockfish)" >&2
    exit 1
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target perft_tests -j2 >/dev/null
VELLORAN_CROSSCHECK_POSITIONS=$positions \
    "$build/tests/perft_tests" --gtest_filter='StockfishCrosscheck.*' --gtest_brief=1
