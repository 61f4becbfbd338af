#!/usr/bin/env bash
# Runs clang-tidy 14 with the checks of .clang-tidy (and bench/.clang-tidy) over every C++
# source of the project: core, front end, tests, benchmarks, fuzzers and tools. The compile
# commands come from a clang configuration (configured only, nothing is built). Any finding
# fails.
# Usage: scripts/tidy.sh [build directory (default build/tidy)] [source files (default all)]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/tidy}
shift $(($# > 0 ? 1 : 0))
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DVELLORAN_BENCH=ON -DVELLORAN_FUZZ=ON >/dev/null

if (($# > 0)); then
    sources=("$@")
else
    # Windows sources need Windows headers: the Linux configuration cannot check them.
    mapfile -t sources < <(cd "$root" && find src app support tests bench fuzz tools -name '*.cpp' \
        ! -name '*_windows.cpp' | sort)
fi
echo "clang-tidy: ${#sources[@]} files"
cd "$root"
# One process per file, two at a time; xargs fails when any of them reports a finding.
if printf '%s\0' "${sources[@]}" |
    xargs -0 -n 1 -P 2 "$tidy" -p "$build" --quiet 2>/dev/null; then
    echo "clang-tidy: clean"
else
    echo "clang-tidy: findings above" >&2
    exit 1
fi
