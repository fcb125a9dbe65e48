#!/bin/sh
# Runs inside a trial session's sandbox (sandbox.py): makes the session's
# prefix in the sandbox's own file system, a clone of the template whose
# large system folders the sandbox has already mounted read-only in place;
# serves the disc as drive R: and no other drive but C:; puts the driver on
# C: and runs it in a Wine session of its own. The driver's record goes to
# the standard output the sandbox was given, the one thing the host reads;
# everything else said in here goes to standard error.
#
# Usage: inside.sh TEMPLATE PREFIX DRIVER DISC -- DRIVER_ARGUMENTS...
set -eu
template=$1 prefix=$2 driver=$3 disc=$4
shift 5
exec 9>&1 1>&2

sh /wine/clone-prefix.sh "$template" "$prefix"
for device in "$prefix"/dosdevices/*; do
    [ "$(basename "$device")" = c: ] || rm -f "$device"
done
ln -s "$disc" "$prefix/dosdevices/r:"
mkdir -p "$prefix/drive_c/tarnell-trial" "$HOME"
cp "$driver" "$prefix/drive_c/tarnell-trial/"

export TARNELL_WINEPREFIX="$prefix"
exec sh /wine/session.sh --folder "${TMPDIR:-/tmp}" -- sh -c 'exec "$@" 1>&9 9>&-' sh "$@"
