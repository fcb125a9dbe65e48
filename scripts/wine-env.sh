# Sourced by run.sh and workbench.sh from the project's root: the Wine
# prefix of the tests, set up the same way (Windows XP, Marlett for the
# caption buttons), and the 64-bit loader, which starts 32-bit programs too.
export WINEPREFIX="$PWD/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE64=/usr/lib/wine/wine64
prefix_setup="$PWD/tests/wine/prefix-setup.sh"
export TARNELL_WINEPREFIX="$WINEPREFIX" TARNELL_WINE="$WINE64"
