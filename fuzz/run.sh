#!/usr/bin/env bash
# Builds every libFuzzer target with clang in build/fuzz and runs each for SECONDS seconds from
# its seed corpus (fuzz/corpus/<input>/) and dictionary, printing the executions per target and
# the total. Exits non-zero on a finding; the failing input and the log are kept in
# fuzz/out/<input>/, and so is the corpus grown on the way.
# Usage: fuzz/run.sh [SECONDS (default 60)]
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLORAN_FUZZ=ON -DVELLORAN_TESTS=OFF \
    -DVELLORAN_WERROR=ON >/dev/null
targets=()
for source in "$root"/fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

total=0
status=0
for target in "${targets[@]}"; do
    input=${target%_fuzz}
    out=$root/fuzz/out/$input
    mkdir -p "$out/corpus"
    # -timeout: an input that takes seconds is a finding too (a loop that no longer answers).
    options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$out/")
    if [ -f "$root/fuzz/$input.dict" ]; then
        options+=(-dict="$root/fuzz/$input.dict")
    fi
    case $input in
        # Sessions: a few dozen commands exercise the loops; longer inputs only run slower.
        *_loop) options+=(-max_len=1024) ;;
    esac
    log=$out/log.txt
    if "$build/fuzz/$target" "${options[@]}" "$out/corpus" "$root/fuzz/corpus/$input" \
        >"$log" 2>&1; then
        result=ok
    else
        result="FINDING: see $log and $out/"
        status=1
    fi
    runs=$(awk '/stat::number_of_executed_units:/ { print $2 }' "$log")
    runs=${runs:-0}
    total=$((total + runs))
    printf '%-18s %12d executions  %s\n' "$target" "$runs" "$result"
done
printf '%-18s %12d executions\n' total "$total"
exit "$status"
