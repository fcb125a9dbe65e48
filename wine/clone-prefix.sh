#!/bin/sh
# Clones a Wine prefix for a session of its own, in a fifth of a second
# rather than the minutes a new prefix takes: the small files that Wine
# and the programs change (the registry, the users' folders, drive C:'s
# other folders) are copied; the large system folders (wine.env's
# PREFIX_LINKED_FOLDERS) are hard links to the template's files, unless
# they are there already (the disc trial's sandbox mounts them). What
# earlier runs left in the template's C:\tarnell-tests is not taken, nor
# the template server's own lock.
# Usage: clone-prefix.sh TEMPLATE NEW_PREFIX
set -eu
wine_layer=$(dirname "$0")
. "$wine_layer/wine-env.sh"
template=$1 prefix=$2

[ -f "$template/system.reg" ] || { echo "clone-prefix: no prefix at $template" >&2; exit 1; }
mkdir -p "$prefix"
linked=$(printf '%s' "$PREFIX_LINKED_FOLDERS" | tr ':' ' ')
excluded=
for folder in $linked; do
    excluded="$excluded --exclude=./$folder"
done
(cd "$template" && tar cf - $excluded --exclude=./drive_c/tarnell-tests --exclude=./wineserver .) |
    (cd "$prefix" && tar xf -)
for folder in $linked; do
    if [ -d "$template/$folder" ] && [ ! -e "$prefix/$folder" ]; then
        mkdir -p "$prefix/$(dirname "$folder")"
        cp -al "$template/$folder" "$prefix/$folder"
    fi
done
