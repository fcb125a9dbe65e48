#!/bin/sh
# Clones a Wine prefix for a session of its own, in a fifth of a second
# rather than the minute a new prefix takes: the small files that Wine and
# the programs change (the registry, the users' folders, drive C:'s other
# folders) are copied; the large system folders (over a gigabyte of
# DLLs, which no program of a session writes) are hard links to the
# template's. C:\tarnell-tests, what earlier runs left in the template, is
# not taken.
# Usage: clone-prefix.sh TEMPLATE NEW_PREFIX
set -eu
template=$1 prefix=$2
windows=drive_c/windows
linked="system32 syswow64 winsxs"

[ -f "$template/system.reg" ] || { echo "clone-prefix: no prefix at $template" >&2; exit 1; }
mkdir -p "$prefix"
excluded=
for name in $linked; do
    excluded="$excluded --exclude=./$windows/$name"
done
# The server's lock and socket belong to the template's own server.
(cd "$template" && tar cf - $excluded --exclude=./drive_c/tarnell-tests --exclude=./wineserver .) |
    (cd "$prefix" && tar xf -)
for name in $linked; do
    [ ! -d "$template/$windows/$name" ] || cp -al "$template/$windows/$name" "$prefix/$windows/"
done
