#!/bin/sh
# The disc designer: a page in your browser from which the whole disc is
# made and tried (brand, languages, systems, signature), with the real
# launcher under Wine as its preview.
#
# Usage: ./scripts/designer.sh [--port N] [--folder DIR]
# Serves the page on 127.0.0.1:N only (default 8731) and prints its
# address; the discs it makes go to DIR (default build/designer). Sets up
# and builds what it needs first (scripts/setup.sh, the trial's driver and
# the showcase in build/try-tools, the trial's prefix). Runs until Ctrl-C
# or SIGTERM, which end it, its jobs and their Wine sessions (exit code
# 130 or 143). Exit codes: 2 for a wrong command line, 1 when the port is
# taken or the set-up fails.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# On a new machine even Python comes with the set-up.
[ -x /usr/bin/python3 ] || "$root/scripts/setup.sh"
exec /usr/bin/python3 "$root/publish/designer/server.py" "$@"
