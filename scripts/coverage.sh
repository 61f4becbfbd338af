#!/usr/bin/env bash
# Line coverage of the core library (src/, include/) and the front end (app/) by the tests:
# builds the `coverage` preset (g++ --coverage, build/coverage), runs every test but the slow
# ones, then reads the counts with gcov. A line counts as covered when any translation unit
# ran it, so header lines compiled into many units are judged once.
# Usage: scripts/coverage.sh [--files]   (--files: one line per source file as well)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/coverage
cd "$root"

cmake --preset coverage >/dev/null
cmake --build --preset coverage >/dev/null
find "$build" -name '*.gcda' -delete
# A failing test still leaves its counts; the report is made either way.
test_status=0
ctest --preset coverage >"$build/ctest.log" 2>&1 || test_status=$?
tail -n 3 "$build/ctest.log"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# -l keeps the .gcov of one header apart per including unit; -p keeps the whole path.
find "$build/CMakeFiles" -name '*.gcda' -print0 |
    (cd "$work" && xargs -0 -r gcov -l -p -b >/dev/null 2>&1 || true)

find "$work" -name '*.gcov' -print0 | xargs -0 -r awk -v root="$root/" -v files="${1:-}" '
    FNR == 1 { source = "" }
    /^ *-: *0:Source:/ {
        source = substr($0, index($0, "Source:") + 7)
        if (index(source, root) != 1) source = ""
        else source = substr(source, length(root) + 1)
        next
    }
    source == "" || source !~ /^(src|include|app)\// { next }
    {
        split($0, field, ":")
        count = field[1]; gsub(/ /, "", count)
        line = field[2] + 0
        if (count == "-" || line == 0) next
        key = source SUBSEP line
        executable[key] = 1
        if (count != "#####" && count != "=====") covered[key] = 1
    }
    END {
        for (key in executable) {
            split(key, part, SUBSEP)
            area = part[1] ~ /^app\// ? "front end (app/)" : "core (src/, include/)"
            lines[area]++; file_lines[part[1]]++
            if (key in covered) { hit[area]++; file_hit[part[1]]++ }
        }
        if (files != "") {
            for (file in file_lines)
                printf "%6.1f%%  %5d/%-5d %s\n", 100 * file_hit[file] / file_lines[file],
                       file_hit[file], file_lines[file], file | "sort -k4"
            close("sort -k4")
        }
        for (area in lines)
            printf "%-24s %6.1f%% of %d lines\n", area, 100 * hit[area] / lines[area], lines[area]
    }'
exit "$test_status"
