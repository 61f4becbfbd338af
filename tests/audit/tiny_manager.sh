#!/bin/sh
# A scripted stand-in for a tournament manager, for the audit's custom kind. It brings the
# faulty engine to ply 10 of a fixed game, asks for a move and scores both games by what comes
# back, as "Finished game" lines and a PGN file. Like cutechess-cli it stops after a
# disconnection and still exits 0, a defect the audit must report.
# Usage: tiny_manager.sh FAULTY-COMMAND NORMAL-COMMAND PGN CLOCK
set -u
faulty=$1
pgn=$3
opening="e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 d2d3 f8c5 c2c3"

# The engine reads its input to the end, answers, and ends; a stalled one is cut off.
# shellcheck disable=SC2086 # the engine's command line is meant to be split into words
printf 'uci\nisready\nposition startpos moves %s\ngo wtime 2000 btime 2000\n' "$opening" |
    timeout 3 $faulty >"$pgn.engine"
status=$?
answer=$(grep '^bestmove' "$pgn.engine")
case $status in
    3) ending=disconnects ;;
    124) ending="loses on time" ;;
    *) case $answer in
           "bestmove a1a1"*) ending="makes an illegal move" ;;
           *) ending= ;;
       esac ;;
esac

: >"$pgn"
for game in 1 2; do
    if [ "$game" = 1 ]; then white=faulty black=normal side=White loss=0-1
    else white=normal black=faulty side=Black loss=1-0; fi
    if [ -n "$ending" ]; then result=$loss reason="$side $ending"
    else result=1/2-1/2 reason="Draw by 3-fold repetition"; fi
    echo "Finished game $game ($white vs $black): $result {$reason}"
    printf '[White "%s"]\n[Black "%s"]\n[Result "%s"]\n\n1. e4 e5 {%s} %s\n\n' \
        "$white" "$black" "$result" "$reason" "$result" >>"$pgn"
    [ "$ending" = disconnects ] && break
done
exit 0
