#!/bin/sh
# Checks the sample disc folder: upper-case 8.3 names only, and an
# AUTORUN.INF that opens the launcher with its icon and a label.
# Usage: check_disc.sh DISC_FOLDER
set -eu
disc=$1
fail=0

names=$(ls "$disc" | sort | tr '\n' ' ')
echo "disc folder: $names"
[ "$names" = "AUTORUN.INF SETUP.EXE TARNELL.EXE " ] || { echo "FAIL: unexpected files"; fail=1; }
for name in $(ls "$disc"); do
    echo "$name" | grep -Eq '^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?$' || { echo "FAIL: $name is not an 8.3 upper-case name"; fail=1; }
done

inf="$disc/AUTORUN.INF"
for line in '[autorun]' 'open=TARNELL.EXE' 'icon=TARNELL.EXE,0'; do
    tr -d '\r' < "$inf" | grep -qxF "$line" || { echo "FAIL: AUTORUN.INF lacks $line"; fail=1; }
done
tr -d '\r' < "$inf" | grep -Eq '^label=.+' || { echo "FAIL: AUTORUN.INF lacks a label"; fail=1; }
[ "$(grep -c "$(printf '\r')\$" "$inf")" -eq "$(wc -l < "$inf")" ] || { echo "FAIL: AUTORUN.INF lines do not end in CR LF"; fail=1; }
exit $fail
