#!/bin/sh
# Creates the Wine prefix of the tests when it is missing and sets the
# Windows version that programs see by default (Windows XP, the newest
# system the launcher accepts). Runs inside the suite's X session, so the
# prefix's wineserver starts with a display.
set -eu

export WINEPREFIX="$TARNELL_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winedbg.exe=d"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "prefix-setup: creating $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$TARNELL_WINE" wineboot -i
fi
"$TARNELL_WINE" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp /f >/dev/null
# No window manager runs under Xvfb: Wine draws the window frames itself,
# so that clicks on captions and close boxes reach the windows.
"$TARNELL_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
echo "prefix-setup: $WINEPREFIX ready"
