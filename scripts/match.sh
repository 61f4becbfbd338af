#!/usr/bin/env bash
# Plays GAMES complete games between two pawnlark processes in each dialect (UCI, then CECP),
# from openings of pawnlark's own genfens, with tools/match.cpp (pawnlark-match), which checks
# every move against a referee game and writes the games as PGN with SAN moves. Then polyglot
# (when installed) reads each PGN back into an opening book, which fails on any move that is
# not legal SAN from the position before it.
# Usage: scripts/match.sh [GAMES (default 20)] [SEED (default 1)] [build directory]
set -euo pipefail

games=${1:-20}
seed=${2:-1}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${3:-$root/build/match}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLORAN_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target pawnlark pawnlark_match >/dev/null
polyglot=$(command -v polyglot || echo /usr/games/polyglot)

status=0
for proto in uci cecp; do
    pgn=$build/match-$proto.pgn
    echo "== $proto: $games games, openings from genfens seed $seed -> $pgn"
    "$build/pawnlark-match" --engine "$build/pawnlark" --proto "$proto" --games "$games" \
        --seed "$seed" --pgn "$pgn" \
        --white-args "--delay-ms 0 --seed $((seed + 1))" \
        --black-args "--delay-ms 0 --seed $((seed + 2)) --random" || status=1
    if [ -x "$polyglot" ]; then
        # polyglot reports a bad move on its output and still ends with status 0.
        report=$(cd "$build" && "$polyglot" make-book -pgn "$pgn" -bin "$build/match-$proto.bin" 2>&1)
        if grep -qiE 'illegal|error' <<<"$report"; then
            echo "polyglot could not read $pgn:" >&2
            echo "$report" >&2
            status=1
        else
            echo "polyglot read $pgn: $(grep -E '^[0-9]+ games' <<<"$report")"
        fi
    else
        echo "polyglot is not installed: PGN not read back"
    fi
done
exit "$status"
