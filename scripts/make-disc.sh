#!/bin/sh
# Makes the image of an install disc, verified and reproducible:
#   ./scripts/make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
# Sets up and builds the launcher first, then runs scripts/make_disc.py,
# which checks the installer folder, writes the image with xorriso, reads
# it back and compares every file. Without --installer the image holds the
# sample disc (its stand-in SETUP.EXE); without --output it is written to
# build/default/kelmora.iso. Exits 0 only with a verified image.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

(
    cd "$root"
    ./scripts/setup.sh
    cmake --preset default >/dev/null
    cmake --build --preset default --target disc >/dev/null
)
exec /usr/bin/python3 "$root/scripts/make_disc.py" "$@"
