# Sourced by run.sh and workbench.sh from the project's root: the Wine
# prefix of the tests, set up the same way (Windows XP, Marlett for the
# caption buttons), the 64-bit loader, which starts 32-bit programs too,
# and the headless showcase run that takes their pictures.
export WINEPREFIX="$PWD/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE64=/usr/lib/wine/wine64
prefix_setup="$PWD/tests/wine/prefix-setup.sh"
export TARNELL_WINEPREFIX="$WINEPREFIX" TARNELL_WINE="$WINE64"

# Runs a program through the showcase in a Wine virtual desktop under
# Xvfb, from the current folder, after the prefix's set-up:
#   headless_showcase NAME,WIDTHxHEIGHT SHOWCASE.exe SHOT SHOWCASE-ARGUMENTS...
# The showcase saves SHOT.bmp, which becomes SHOT.png, and the program's
# exit code in SHOT.code.
headless_showcase() {
    desktop=$1 showcase=$2 shot=$3
    shift 3
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -f "$shot.code" "$shot.bmp" "$shot.png"
    xvfb-run -a -s "-screen 0 ${desktop#*,}x24" sh -c '
        prefix_setup=$1 wine=$2 desktop=$3 showcase=$4
        shift 4
        sh "$prefix_setup" >/dev/null
        "$wine" explorer /desktop="$desktop" "$showcase" "$@"
        /usr/lib/wine/wineserver -w' sh "$prefix_setup" "$WINE64" "$desktop" "$showcase" "$@"
    if [ -f "$shot.bmp" ]; then
        convert "$shot.bmp" "$shot.png" && rm -f "$shot.bmp"
    fi
}
