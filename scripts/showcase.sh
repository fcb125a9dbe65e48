# Sourced by run.sh and workbench.sh from the project's root: the Wine
# layer's environment in the scripts' own prefix (build/wineprefix, set up
# as the tests' are: Windows XP, Marlett for the caption buttons), and the
# headless showcase run that takes their pictures.
export TARNELL_WINEPREFIX="$PWD/build/wineprefix"
wine_layer="$PWD/wine"
. "$wine_layer/wine-env.sh"
prefix_setup="$wine_layer/prefix-setup.sh"

# Runs a program through the showcase in a Wine virtual desktop under
# Xvfb, from the current folder, after the prefix's set-up:
#   headless_showcase NAME,WIDTHxHEIGHT SHOWCASE.exe SHOT SHOWCASE-ARGUMENTS...
# The showcase saves SHOT.bmp, which becomes SHOT.png, and the program's
# exit code in SHOT.code.
headless_showcase() {
    desktop=$1 showcase=$2 shot=$3
    shift 3
    "$WINESERVER" -k 2>/dev/null || true
    rm -f "$shot.code" "$shot.bmp" "$shot.png"
    xvfb-run -a -s "-screen 0 ${desktop#*,}x24" sh -c '
        prefix_setup=$1 desktop=$2 showcase=$3
        shift 3
        sh "$prefix_setup" >/dev/null
        "$WINE64" explorer /desktop="$desktop" "$showcase" "$@"
        "$WINESERVER" -w' sh "$prefix_setup" "$desktop" "$showcase" "$@"
    if [ -f "$shot.bmp" ]; then
        convert "$shot.bmp" "$shot.png" && rm -f "$shot.bmp"
    fi
}
