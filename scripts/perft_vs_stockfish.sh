#!/bin/bash
# Times whole processes side by side: our perft (bulk counted at the last ply) and Debian's
# stockfish with "go perft", on the start position. Prints the median wall time and nodes
# per second of each over the rounds, and their ratio.
# Usage: scripts/perft_vs_stockfish.sh [depth (default 6)] [rounds (default 7)] [build directory]
set -euo pipefail

depth=${1:-6}
rounds=${2:-7}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${3:-$root/build/perft-bench}
stockfish=$(command -v stockfish || echo /usr/games/stockfish)
[ -x "$stockfish" ] || { echo "stockfish is not installed (apt-get install stockfish)" >&2; exit 1; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLORAN_BENCH=ON >/dev/null
cmake --build "$build" --target perft_bench -j2 >/dev/null
ours="$build/bench/perft_bench"

now_ns() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

our_times=() sf_times=() our_nodes="" sf_nodes=""
for ((i = 0; i < rounds; i++)); do
    start=$(now_ns)
    out=$("$ours" --perft "$depth")
    our_times+=($(( $(now_ns) - start )))
    our_nodes=$(awk '{ print $2 }' <<<"$out")

    start=$(now_ns)
    out=$(printf 'position startpos\ngo perft %s\nquit\n' "$depth" | "$stockfish")
    sf_times+=($(( $(now_ns) - start )))
    sf_nodes=$(awk '/Nodes searched/ { print $3 }' <<<"$out")
done

if [ "$our_nodes" != "$sf_nodes" ]; then
    echo "node counts differ: ours $our_nodes, stockfish $sf_nodes" >&2
    exit 1
fi
our_median=$(printf '%s\n' "${our_times[@]}" | median)
sf_median=$(printf '%s\n' "${sf_times[@]}" | median)
awk -v n="$our_nodes" -v o="$our_median" -v s="$sf_median" -v d="$depth" -v r="$rounds" 'BEGIN {
    printf "perft %d of the start position, %d nodes, median of %d whole-process runs\n", d, n, r
    printf "ours:      %8.1f ms  %7.1f M nodes/s\n", o / 1e6, n / (o / 1e9) / 1e6
    printf "stockfish: %8.1f ms  %7.1f M nodes/s\n", s / 1e6, n / (s / 1e9) / 1e6
    printf "ratio:     %.2fx\n", s / o
}'
