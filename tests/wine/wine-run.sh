#!/bin/sh
# Runs one Windows test program under Wine in the project's test prefix and
# exits with the program's exit code. The environment comes from CTest:
#   TARNELL_WINEPREFIX  the prefix (created by prefix-setup.sh)
#   TARNELL_WINE        the Wine loader that matches the program's bitness
# Usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]
set -eu

if [ -z "${DISPLAY:-}" ]; then
    echo "wine-run: no X display; run the suite through scripts/test.sh (it starts Xvfb)" >&2
    exit 1
fi

export WINEPREFIX="$TARNELL_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
exec "$TARNELL_WINE" "$@"
