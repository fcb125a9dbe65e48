#!/bin/sh
# Changes the configuration of a Wine prefix: the one way the scripts, the
# disc trial and the tests write Wine's settings, whatever the bitness of
# the program that reads them.
#
# A 32-bit program sees its own view of HKLM\Software (Wow6432Node), while
# Wine's own services (the mount manager among them) are 64-bit and read
# the 64-bit view. So every write goes through the 64-bit loader, which
# made the prefix, and names its view: the 64-bit one, unless the setting
# is read by each program in its own view, when both are written.
#
#   wine-config.sh set KEY NAME VALUE        REG_SZ value in the view Wine reads
#   wine-config.sh set-each-view KEY NAME VALUE
#                                            the same value in both views (a
#                                            setting each program reads itself)
#   wine-config.sh unset KEY NAME            removes a value (absent is fine)
#   wine-config.sh drive LETTER DIR TYPE     serves DIR as drive LETTER: of TYPE
#                                            (cdrom, hd, floppy, network)
#   wine-config.sh drop-drive LETTER         removes that drive
#   wine-config.sh font FILE                 a font every program loads: Wine
#                                            loads the prefix's own Fonts folder
#
# The environment: TARNELL_WINEPREFIX, the prefix.
set -eu
wine_layer=$(dirname "$0")
. "$wine_layer/wine-env.sh"

DRIVES_KEY='HKLM\Software\Wine\Drives'

usage() {
    echo "usage: wine-config.sh set|set-each-view KEY NAME VALUE | unset KEY NAME |" \
         "drive LETTER DIR TYPE | drop-drive LETTER | font FILE" >&2
    exit 2
}

reg_in_view() {
    view=$1
    shift
    "$WINE64" reg "$@" "/reg:$view" >/dev/null
}

# The mount manager reads the drives when it starts: a restarted server
# starts it again.
restart_wine() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w
}

[ $# -ge 1 ] || usage
command=$1
shift
case "$command" in
set)
    [ $# -eq 3 ] || usage
    reg_in_view 64 add "$1" /v "$2" /t REG_SZ /d "$3" /f
    ;;
set-each-view)
    [ $# -eq 3 ] || usage
    for view in 64 32; do
        reg_in_view "$view" add "$1" /v "$2" /t REG_SZ /d "$3" /f
    done
    ;;
unset)
    [ $# -eq 2 ] || usage
    reg_in_view 64 delete "$1" /v "$2" /f 2>/dev/null || true
    ;;
drive)
    [ $# -eq 3 ] || usage
    letter=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
    ln -sfn "$2" "$WINEPREFIX/dosdevices/$letter:"
    reg_in_view 64 add "$DRIVES_KEY" /v "$letter:" /t REG_SZ /d "$3" /f
    restart_wine
    ;;
drop-drive)
    [ $# -eq 1 ] || usage
    letter=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    reg_in_view 64 delete "$DRIVES_KEY" /v "$letter:" /f 2>/dev/null || true
    restart_wine
    ;;
font)
    [ $# -eq 1 ] || usage
    fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    target="$fonts/$(basename "$1")"
    cmp -s "$1" "$target" || cp "$1" "$target"
    ;;
*)
    usage
    ;;
esac
