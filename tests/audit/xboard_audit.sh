#!/usr/bin/env bash
# pawnlark-audit against Debian's xboard, end to end on a small matrix: the control games in
# both protocols and faults xboard handles, judged ok; a crash, after which xboard neither goes
# on nor ends (it scores the dead engine's side a loss on time), judged a finding. Then checks
# the report, the JSON record and that nothing the audit started is left running.
# Usage: xboard_audit.sh PAWNLARK-AUDIT. Exits 77 (skipped) when xboard or xvfb-run is missing.
set -euo pipefail

audit=$(realpath "$1")
if ! { command -v xboard || [ -x /usr/games/xboard ]; } >/dev/null || ! command -v xvfb-run >/dev/null; then
    echo "xboard or xvfb-run not installed: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
"$audit" --manager xboard --only 'control,illegal/cecp,claim-win,crash/cecp' --wall-limit 20 \
    --out "$work/out" 2>"$work/progress" || status=$?
cat "$work/progress"
fail() {
    echo "xboard_audit: $*"
    cat "$work/out/report.md" 2>/dev/null || true
    exit 1
}
[ "$status" = 1 ] || fail "exit status $status, expected 1 (findings)"
report=$work/out/report.md
json=$work/out/report.json
for expected in control/uci/clock:ok control/cecp/clock:ok illegal/cecp/clock:ok \
    claim-win/cecp/clock:ok crash/cecp/clock:finding; do
    cell=${expected%:*} verdict=${expected#*:}
    # A cell's record starts with its id; its verdict opens the next line.
    grep -A1 "\"id\": \"$cell\"" "$json" | grep -q "\"verdict\": \"$verdict\"" ||
        fail "$cell is not judged $verdict"
done
[ "$(grep -c '"id": ' "$json")" = 5 ] || fail "not 5 cells in the JSON"
if grep -q '"leftover_engines": \["' "$json"; then fail "an engine was left running"; fi
grep -q '^### crash/cecp/clock' "$report" || fail "the crash finding is not in the report"
grep -q 'xvfb-run -a -n [0-9]* .*xboard .*--crash-at-ply 10' "$report" ||
    fail "no reproduction command for the crash"
if pgrep -f "$work" >/dev/null; then fail "processes of the audit are still running"; fi
echo "xboard_audit: ok"
