#!/usr/bin/env bash
# Tests the Windows build under Wine: the cross-built unit and perft tests through ctest, then
# the Linux end-to-end runner (every transcript, every golden output, the process tests)
# against pawnlark.exe, which must give the same bytes as the Linux binary.
# Usage: scripts/wine_tests.sh [WINDOWS_BUILD (default build/windows)] [LINUX_BUILD (default
# build/test)]. Both must be built already (the presets windows and test).
#
# Wine runs in a prefix of its own inside the Windows build (made once, in about 20 s) with one
# persistent wineserver, so that each start of a Windows program costs about 0.1 s; the server
# and every process of that prefix are stopped at the end, whatever happens.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
windows_build=$(realpath "${1:-$root/build/windows}")
linux_build=$(realpath "${2:-$root/build/test}")

# Debian keeps Wine's loader and server outside PATH.
find_tool() {  # NAME: the first of /usr/lib/wine/NAME and NAME on the PATH
    if [ -x "/usr/lib/wine/$1" ]; then echo "/usr/lib/wine/$1"; else command -v "$1" || true; fi
}
wine=$(find_tool wine64)
wineserver=$(find_tool wineserver64)
[ -z "$wine" ] && wine=$(find_tool wine)
[ -z "$wineserver" ] && wineserver=$(find_tool wineserver)
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
    echo "wine_tests: Wine's loader or server is missing (package wine64)" >&2
    exit 1
fi

export WINEPREFIX="$windows_build/wine"
# No debug channels (their lines would land in the engine's standard error), no prompts to
# install Mono or Gecko, no menu entries.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
# Wine decodes the command line in the locale's encoding, and a transcript passes UTF-8
# arguments; no window system is needed.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$WINEPREFIX"
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
started=$SECONDS
# A new prefix reports its making on standard error; that is not the engine's.
"$wine" wineboot --init >/dev/null 2>&1
echo "wine_tests: prefix ready in $((SECONDS - started)) s"

ctest --test-dir "$windows_build" -LE slow -j2 --output-on-failure --timeout 300

# Everything that starts the engine; the runner's own tests of its child-process library and
# of an in-process sleep say nothing about pawnlark.exe.
PAWNLARK_LAUNCHER="$wine" PAWNLARK_BINARY="$windows_build/pawnlark.exe" \
    "$linux_build/tests/e2e_tests" --gtest_brief=1 \
    --gtest_filter='-RunProcess.*:ChildProcess.*:DelayInterrupted.*'
echo "wine_tests: done in $((SECONDS - started)) s"
