#!/bin/sh
# Makes the image of an install disc, verified and reproducible:
#   ./scripts/make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
#       [--product WORD --company TEXT --copyright TEXT] [--version A.B.C]
#       [--splash PICTURE] [--icon PICTURE] [--languages LIST]
#       [--language-file CODE=FILE]... [--systems LIST] [--previews DIR] [--try]
# The command is publish/make_disc.py: it checks every argument before
# anything is built, sets up the machine (scripts/setup.sh), builds the
# launcher of the given brand in build/disc, writes the image and reads it
# back. Without --installer the image holds the sample disc's stand-in
# SETUP.EXE; without --output it is build/disc/PRODUCT.iso. Exit codes: 0
# with a verified image, 1 for a refusal (one line naming the setting or
# the rule and the value) or a fault, 2 for a wrong command line, 130 or
# 143 when Ctrl-C or SIGTERM ends it, with nothing half-written.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# On a new machine even Python comes with the set-up.
[ -x /usr/bin/python3 ] || "$root/scripts/setup.sh"
exec /usr/bin/python3 "$root/publish/make_disc.py" "$@"
