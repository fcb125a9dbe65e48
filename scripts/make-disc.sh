#!/bin/sh
# Makes the image of an install disc, verified and reproducible:
#   ./scripts/make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
#       [--product WORD] [--version A.B.C] [--company TEXT] [--copyright TEXT]
#       [--splash PICTURE] [--icon PICTURE] [--languages LIST]
#       [--language-file CODE=FILE]... [--previews DIR]
# Sets up the machine, then runs scripts/make_disc.py, which builds the
# launcher of the given brand (in build/disc), checks the installer
# folder, writes the image with xorriso, reads it back and compares every
# file. Without --installer the image holds the sample disc's stand-in
# SETUP.EXE; without --output it is build/disc/PRODUCT.iso. Exits 0 only
# with a verified image.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
exec /usr/bin/python3 "$root/scripts/make_disc.py" "$@"
