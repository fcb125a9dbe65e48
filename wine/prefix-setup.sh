#!/bin/sh
# Creates a Wine prefix when it is missing, and sets it up as the tests,
# the run scripts and the disc trial want it: the Windows version that programs see by
# default (Windows XP, the newest system the launcher accepts), window
# frames drawn by Wine, no debugger on a crash, and the Marlett font for
# the caption buttons. Runs inside the caller's X session, so the prefix's
# wineserver starts with a display.
#   TARNELL_WINEPREFIX  the prefix
# The prefix is made by 64-bit Wine, whatever the build under test: it then
# holds 64-bit and 32-bit Windows, and its settings are written through
# wine-config.sh, in the registry view that their reader uses.
set -eu
wine_layer=$(dirname "$0")
. "$wine_layer/wine-env.sh"
MARLETT=/usr/share/wine/fonts/marlett.ttf

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "prefix-setup: creating $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE64" wineboot -i
fi
config() { sh "$wine_layer/wine-config.sh" "$@"; }
config set 'HKCU\Software\Wine' Version winxp
# No window manager runs under Xvfb: Wine draws the window frames itself,
# so that clicks on captions and close boxes reach the windows, and
# manages no window through one: it would otherwise wait two seconds for
# the missing manager each time a window is hidden or a dialog closes.
config set 'HKCU\Software\Wine\X11 Driver' Decorated N
config set 'HKCU\Software\Wine\X11 Driver' Managed N

# A program that crashes must end at once. Wine otherwise starts winedbg,
# whose crash dialog waits for a person; an empty debugger command cannot
# start, so the process ends with its exception code. The crashing program
# reads the key itself, 32-bit programs in their own view.
config set-each-view 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' Debugger ''

# Wine draws the minimise, maximise and close glyphs with Marlett. Debian's
# Wine does not find the fonts of its data folder (fonts-wine), but it
# loads every font in the prefix's own Fonts folder.
if [ ! -f "$MARLETT" ]; then
    echo "prefix-setup: $MARLETT is missing (install fonts-wine)" >&2
    exit 1
fi
config font "$MARLETT"
echo "prefix-setup: $WINEPREFIX ready"
