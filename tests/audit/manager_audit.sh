#!/usr/bin/env bash
# pawnlark-audit against the real fastchess or cutechess-cli, on a few cells whose verdicts
# these builds are known to earn: the control and the illegal move handled right; the crash,
# the stall, CR LF, tabs and a handshake fault as findings, each for its own reason; for
# cutechess-cli also a false CECP claim, forfeited. Then a short soak run of 40 games with
# chaos, two at once. Checks that nothing is left running.
# Usage: manager_audit.sh PAWNLARK-AUDIT fastchess|cutechess DEFAULT-MANAGERS-DIR
# The managers come from $PAWNLARK_MANAGERS_DIR, else the default directory; exits 77
# (skipped) when the manager is not there or cannot run.
set -euo pipefail

audit=$(realpath "$1")
kind=$2
directory=${PAWNLARK_MANAGERS_DIR:-$3}
program=$directory/$kind
[ "$kind" = cutechess ] && program=$directory/cutechess-cli
if [ ! -x "$program" ]; then
    echo "$program not found (set PAWNLARK_MANAGERS_DIR): skipped"
    exit 77
fi
# cutechess-cli needs Qt's core library; a manager that cannot start is no verdict on it.
if ! timeout 10 "$program" --version >/dev/null 2>&1; then
    echo "$program cannot run here (for cutechess-cli: is libqt6core6 installed?): skipped"
    exit 77
fi
program=$(realpath "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" # fastchess writes config.json into its working directory

# cell:verdict:words one of its problems holds (empty: none checked).
# fastchess falls silent for 60 s after a stall, cutechess-cli for 15 s before it scores one:
# a shorter silence limit for fastchess keeps its verdicts and saves 10 s.
silence=20
if [ "$kind" = fastchess ]; then
    silence=10
    cells=(
        "control/uci/clock:ok:"
        "illegal/uci/clock:ok:"
        "crash/uci/clock:finding:exit status as 0, but it exits with 3"
        "stall/uci/clock:finding:the manager hung: it wrote nothing"
        "crlf/uci/clock:finding:(illegal)"
        "tab/uci/clock:finding:(illegal)"
        "handshake-exit/uci/clock:finding:exit status as 0, but it exits with 3"
    )
else
    cells=(
        "control/uci/clock:ok:"
        "control/cecp/clock:ok:"
        "illegal/uci/clock:ok:"
        "crlf/uci/clock:ok:"
        "claim-win/cecp/clock:ok:"
        "crash/uci/clock:finding:exited 0 though only 1 of 2 games"
        "stall/uci/clock:finding:exited 0 though only 1 of 2 games"
        "tab/uci/clock:finding:White's connection stalls"
        "handshake-exit/uci/clock:finding:exited 0 though only 0 of 2 games"
    )
fi
only=
for entry in "${cells[@]}"; do only+=${only:+,}${entry%%:*}; done

status=0
"$audit" --manager "$kind" --path "$program" --only "$only" --silence "$silence" \
    --out "$work/out" \
    2>"$work/progress" || status=$?
cat "$work/progress"
json=$work/out/report.json
fail() {
    echo "manager_audit ($kind): $*"
    cat "$work/out/report.md" 2>/dev/null || true
    exit 1
}
[ "$status" = 1 ] || fail "exit status $status, expected 1 (findings)"
[ "$(grep -c '"id": ' "$json")" = "${#cells[@]}" ] || fail "not ${#cells[@]} cells in the JSON"
for entry in "${cells[@]}"; do
    cell=${entry%%:*} rest=${entry#*:}
    verdict=${rest%%:*} words=${rest#*:}
    # A cell's record starts with its id; its verdict and problems open the next line.
    record=$(grep -A1 "\"id\": \"$cell\"" "$json")
    grep -q "\"verdict\": \"$verdict\"" <<<"$record" || fail "$cell is not judged $verdict"
    if [ -n "$words" ] && ! grep -qF "$words" <<<"$record"; then
        fail "$cell: no problem says '$words'"
    fi
done
if grep -q '"leftover_engines": \["' "$json"; then fail "an engine was left running"; fi

# The soak: a report whatever the manager did (a fastchess stall ends it as hung), games
# played, faults fired and each found in a game, no engine left running.
status=0
"$audit" --manager "$kind" --path "$program" --soak 40 --concurrency 2 --chaos 20 \
    --out "$work/soak" 2>"$work/progress" || status=$?
cat "$work/progress"
soak=$work/soak/soak.json
[ "$status" = 0 ] || [ "$status" = 1 ] || fail "soak: exit status $status"
grep -q '"games_finished": [1-9]' "$soak" || fail "soak: no game finished"
grep -q '"faults_fired": {"' "$soak" || fail "soak: no fault fired"
if grep -q 'left running' "$soak"; then fail "soak: an engine was left running"; fi
if pgrep -f "$work" >/dev/null; then fail "processes of the audit are still running"; fi
echo "manager_audit ($kind): ok"
