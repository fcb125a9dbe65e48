#!/bin/sh
# Runs one Windows program under Wine in a prefix of the Wine layer and
# exits with the program's exit code. The tests start their programs
# through it; the environment comes from CTest:
#   TARNELL_WINEPREFIX  the prefix (created by prefix-setup.sh)
#   TARNELL_WINE        the Wine loader that matches the program's bitness
# A WINEDEBUG of the caller's own is kept, for a look at Wine's messages.
# Usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]
set -eu
wine_layer=$(dirname "$0")
debug=${WINEDEBUG:-}
. "$wine_layer/wine-env.sh"
[ -z "$debug" ] || export WINEDEBUG="$debug"

if [ -z "${DISPLAY:-}" ]; then
    echo "wine-run: no X display; run the suite through scripts/test.sh (it starts Xvfb)" >&2
    exit 1
fi
exec "$TARNELL_WINE" "$@"
