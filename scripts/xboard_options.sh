#!/usr/bin/env bash
# Loads pawnlark with its full option catalogue (--options echo) into Debian's xboard, once
# directly in standard CECP play and once as a UCI engine behind polyglot, and has xboard set
# every option that can be set from its command line. Each run plays one game and then checks
# xboard's debug log (and polyglot's): every option announced is accepted, every value sent
# arrives and is confirmed, and nothing is refused or reported as an error.
# Usage: xboard_options.sh PAWNLARK. Exits 77 (skipped) when xboard, xvfb-run or polyglot is
# missing.
set -euo pipefail

pawnlark=$(realpath "$1")
export PATH="$PATH:/usr/games"
xboard=$(command -v xboard || true)
if [ -z "$xboard" ] || ! command -v xvfb-run >/dev/null || ! command -v polyglot >/dev/null; then
    echo "xboard, xvfb-run or polyglot not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Values of every type, spaces in names and values, a name holding "value", a negative number.
values="Noise=40,Hash=64,Threads=2,MultiPV=3,Move Overhead=100,Contempt=-7"
values+=",Piece value Scale=150,OwnBook=1,Playing Style=Risky Play,SyzygyPath=/tmp/tb dir"
values+=",Book File=/tmp/book file.bin,Greeting=hi there"

run() {  # NAME EXTRA-XBOARD-ARGUMENTS...
    local name=$1
    shift
    local pgn="$work/$name.pgn" played=0
    # The second engine is plain pawnlark; the match is one game. xboard is stopped (its whole
    # process group, started here) once the game is in the PGN, or at the deadline.
    setsid xvfb-run -a "$xboard" -noGUI -mm -tc 1 -inc 0 -matchGames 1 -saveGameFile "$pgn" \
        -debug -nameOfDebugFile "$work/$name.debug" -firstOptions "$values" -fd "$work" \
        -scp "$pawnlark --proto cecp --cecp-standard --delay-ms 0 --seed 3" -sd "$work" \
        "$@" >"$work/$name.log" 2>&1 &
    local manager=$!
    for _ in $(seq 240); do
        played=$(grep -c '^\[Result ' "$pgn" 2>/dev/null || true)
        [ "$played" = 1 ] && break
        sleep 0.5
    done
    # xboard takes a moment to close its engines; whatever is left after 10 s is killed.
    kill -TERM -- "-$manager" 2>/dev/null || true
    for _ in $(seq 100); do
        kill -0 -- "-$manager" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$manager" 2>/dev/null || true
    wait "$manager" 2>/dev/null || true
    if [ "$played" != 1 ]; then
        echo "$name: the game did not finish"
        return 1
    fi
}

fail() {
    echo "$1"
    shift
    (($# == 0)) || printf '  %s\n' "$@"
    exit 1
}

# Directly, in CECP: xboard answers every option feature with accepted or rejected, then sends
# the values; the engine confirms each in a "#" debug line.
run cecp -fcp "$pawnlark --proto cecp --cecp-standard --options echo --delay-ms 0"
log="$work/cecp.debug"
announced=$(grep -m1 '<first : feature ' "$log" | grep -o 'option="' | wc -l)
accepted=$(grep -c '>first : accepted option$' "$log" || true)
# xboard 4.9 predates the -reset type and says so; any other refusal is a failure.
mapfile -t refused < <(grep '>first : rejected' "$log" | grep -v 'rejected option Reset Settings -reset$' || true)
((${#refused[@]} == 0)) || fail "cecp: xboard refused:" "${refused[@]}"
((announced >= 15 && accepted >= announced - 1)) ||
    fail "cecp: $accepted of $announced options accepted"
mapfile -t sent < <(sed -n 's/^[0-9]* >first : option \(.*\)=\(.*\)$/\1 set to \2/p' "$log")
((${#sent[@]} == 12)) || fail "cecp: ${#sent[@]} option values sent, 12 expected" "${sent[@]}"
for line in "${sent[@]}"; do
    grep -qxF "<first : # $line" <(cut -d' ' -f2- "$log") || fail "cecp: not confirmed: $line"
done
mapfile -t errors < <(grep -E '<first : (Error|tellusererror)' "$log" || true)
((${#errors[@]} == 0)) || fail "cecp: engine errors:" "${errors[@]}"
echo "cecp: $accepted of $announced options accepted, ${#sent[@]} values set and confirmed"

# Behind polyglot, as xboard runs a UCI engine: polyglot turns the catalogue into option
# features and each value xboard sends into a setoption line, which the engine confirms.
pglog="$work/polyglot.log"
run uci -fcp "$pawnlark --options echo --delay-ms 0" -fUCI \
    -adapterCommand "polyglot -noini -pg Log=true -pg LogFile=$pglog -ec \"%fcp\" -ed \"%fd\""
log="$work/uci.debug"
mapfile -t refused < <(grep '>first : rejected' "$log" || true)
((${#refused[@]} == 0)) || fail "uci: xboard refused:" "${refused[@]}"
mapfile -t sent < <(sed -n 's/^.*Adapter->Engine: setoption name \(.*\) value \(.*\)$/\1 set to \2/p' "$pglog")
((${#sent[@]} >= 12)) || fail "uci: ${#sent[@]} setoption lines, at least 12 expected" "${sent[@]}"
for line in "${sent[@]}"; do
    grep -qF "Engine->Adapter: info string $line" "$pglog" || fail "uci: not confirmed: $line"
done
mapfile -t errors < <(grep 'Engine->Adapter: info string' "$pglog" | grep -v ' set to \| pressed$' || true)
((${#errors[@]} == 0)) || fail "uci: engine errors:" "${errors[@]}"
echo "uci: ${#sent[@]} setoption lines through polyglot, all confirmed"
