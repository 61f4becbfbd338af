#!/usr/bin/env bash
# Plays complete games between two pawnlark engines in standard xboard play under Debian's
# xboard (the GUI as a match manager, on a virtual X display), standard and Chess960, and
# checks that every game ends by a rule of chess: no loss on time, illegal move, stall or
# disconnection.
# Usage: xboard_match.sh PAWNLARK [GAMES]. Exits 77 (skipped) when xboard or xvfb-run is missing.
set -euo pipefail

pawnlark=$(realpath "$1")
games=${2:-2}
xboard=$(command -v xboard || true)
[ -z "$xboard" ] && [ -x /usr/games/xboard ] && xboard=/usr/games/xboard
if [ -z "$xboard" ] || ! command -v xvfb-run >/dev/null; then
    echo "xboard or xvfb-run not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

play() {  # NAME EXTRA-XBOARD-ARGUMENTS...
    local name=$1
    shift
    local pgn="$work/$name.pgn"
    # Without a display to close, xboard stays up after the match: it is stopped (its whole
    # process group, started here) once the PGN holds every game, or at the deadline.
    setsid xvfb-run -a "$xboard" -noGUI -mm -xponder -autoCallFlag true -tc 1 -inc 0 \
        -fcp "$pawnlark --proto cecp --cecp-standard --seed 11 --delay-ms 0" -fd "$work" \
        -scp "$pawnlark --proto cecp --cecp-standard --seed 12 --delay-ms 0" -sd "$work" \
        -matchGames "$games" -saveGameFile "$pgn" "$@" >"$work/$name.log" 2>&1 &
    local manager=$! played=0 endings
    for _ in $(seq 600); do
        played=$(grep -c '^\[Result ' "$pgn" 2>/dev/null || true)
        [ "$played" = "$games" ] && break
        sleep 0.5
    done
    # Asked first, so that xboard ends its engines; killed when it has not ended in 5 s (once in
    # a while it takes no notice, and stayed up for good).
    kill -TERM -- "-$manager" 2>/dev/null || true
    for _ in $(seq 20); do
        kill -0 -- "-$manager" 2>/dev/null || break
        sleep 0.25
    done
    kill -KILL -- "-$manager" 2>/dev/null || true
    wait "$manager" 2>/dev/null || true
    if [ "$played" != "$games" ]; then
        echo "$name: $played of $games games in the PGN"
        cat "$work/$name.log"
        return 1
    fi
    # The comment before each result says how the game ended.
    endings=$(grep -oE '\{[^{}]*\} *(1-0|0-1|1/2-1/2)$' "$pgn")
    echo "$name:"
    echo "$endings" | sed 's/^/  /'
    if echo "$endings" | grep -vqiE 'mates|checkmate|stalemate|insufficient|repetition|50|fifty'; then
        echo "$name: a game did not end by the rules"
        return 1
    fi
}

play standard
play fischerandom -variant fischerandom
