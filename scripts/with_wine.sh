#!/usr/bin/env bash
# Runs a command with Wine ready for the programs of a Windows build: a prefix of its own
# inside that build (made once, in about 20 s) and one persistent wineserver, so that each
# start of a Windows program costs about 0.1 s. PAWNLARK_LAUNCHER names Wine's loader for the
# end-to-end tests and benchmarks. The server and every process of the prefix are stopped when
# the command ends, whatever happens; the command's status is the script's.
# Usage: scripts/with_wine.sh WINDOWS_BUILD COMMAND [ARGUMENTS...]
set -euo pipefail

windows_build=$(realpath "$1")
shift

# Debian keeps Wine's loader and server outside PATH.
find_tool() {  # NAME...: the first found, in /usr/lib/wine or on the PATH
    local name
    for name in "$@"; do
        if [ -x "/usr/lib/wine/$name" ]; then
            echo "/usr/lib/wine/$name"
            return
        fi
        if command -v "$name"; then return; fi
    done
}
wine=$(find_tool wine64 wine)
wineserver=$(find_tool wineserver64 wineserver)
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
    echo "with_wine: Wine's loader or server is missing (package wine64)" >&2
    exit 1
fi

export WINEPREFIX="$windows_build/wine"
# No debug channels (their lines would land in the programs' standard error), no prompts to
# install Mono or Gecko, no menu entries.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
# Wine decodes the command line in the locale's encoding, and the tests pass UTF-8 arguments;
# no window system is needed.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
export PAWNLARK_LAUNCHER="$wine"

mkdir -p "$WINEPREFIX"
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
started=$SECONDS
# A new prefix reports its making on standard error; that is no program's output.
"$wine" wineboot --init >/dev/null 2>&1
echo "with_wine: prefix ready in $((SECONDS - started)) s"
"$@"
