#!/bin/sh
# A scripted stand-in for fastchess in a soak run. It plays no chess: it prints what fastchess
# prints for four games, one of them lost to a crash that the chaos engine announces in the
# log, and writes their PGN. SOAK_MANAGER_MODE=drop leaves game 3 without a result and still
# exits 0; SOAK_MANAGER_MODE=hang falls silent after game 2.
set -u
pgn= log= previous=
for word in "$@"; do
    case $previous:$word in
        -pgnout:file=*) pgn=${word#file=} ;;
        -log:file=*) log=${word#file=} ;;
    esac
    previous=$word
done
mode=${SOAK_MANAGER_MODE:-}
echo 'pawnlark: chaos: crash at ply 4' >"$log"
: >"$pgn"

# game number, white, black, result, reason, movetext
game() {
    echo "Started game $1 of 4 ($2 vs $3)"
    echo "Finished game $1 ($2 vs $3): $4 {$5}"
    printf '[Round "%s"]\n[White "%s"]\n[Black "%s"]\n[Result "%s"]\n\n%s {%s} %s\n\n' \
        $((($1 + 1) / 2)) "$2" "$3" "$4" "$6" "$5" "$4" >>"$pgn"
}

game 1 faulty normal 0-1 "Black mates" "1. f3 e5 2. g4 Qh4#"
game 2 normal faulty 1-0 "Black disconnects" "1. e4 e5 2. Nf3"
if [ "$mode" = hang ]; then exec sleep 60; fi
if [ "$mode" = drop ]; then
    echo "Started game 3 of 4 (faulty vs normal)"
else
    game 3 faulty normal 0-1 "Black mates" "1. f3 e5 2. g4 Qh4#"
fi
game 4 normal faulty 0-1 "Black mates" "1. f3 e5 2. g4 Qh4#"
if [ "$mode" = drop ]; then
    echo "Games: 3, Wins: 1, Losses: 2, Draws: 0, Points: 1.0 (33.33 %)"
else
    echo "Games: 4, Wins: 1, Losses: 3, Draws: 0, Points: 1.0 (25.00 %)"
fi
exit 0
