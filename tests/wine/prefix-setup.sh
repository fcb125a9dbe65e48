#!/bin/sh
# Creates the Wine prefix of the tests and of the run script when it is
# missing, and sets it up: the Windows version that programs see by
# default (Windows XP, the newest system the launcher accepts), window
# frames drawn by Wine, no debugger on a crash, and the Marlett font for
# the caption buttons. Runs inside the caller's X session, so the prefix's
# wineserver starts with a display.
#   TARNELL_WINEPREFIX  the prefix
#   TARNELL_WINE        the Wine loader that makes it (64-bit Wine: the
#                       prefix then holds 64-bit and 32-bit Windows)
set -eu

export WINEPREFIX="$TARNELL_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
MARLETT=/usr/share/wine/fonts/marlett.ttf

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "prefix-setup: creating $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$TARNELL_WINE" wineboot -i
fi
"$TARNELL_WINE" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp /f >/dev/null
# No window manager runs under Xvfb: Wine draws the window frames itself,
# so that clicks on captions and close boxes reach the windows.
"$TARNELL_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null

# A program that crashes must end at once. Wine otherwise starts winedbg,
# whose crash dialog waits for a person; an empty debugger command cannot
# start, so the process ends with its exception code. 32-bit programs read
# their own view of the key.
for view in '' '\Wow6432Node'; do
    "$TARNELL_WINE" reg add "HKLM\\Software$view\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" \
        /v Debugger /t REG_SZ /d '' /f >/dev/null
done

# Wine draws the minimise, maximise and close glyphs with Marlett. Debian's
# Wine does not find the fonts of its data folder (fonts-wine), but it
# loads every font in the prefix's own Fonts folder.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ ! -f "$MARLETT" ]; then
    echo "prefix-setup: $MARLETT is missing (install fonts-wine)" >&2
    exit 1
fi
mkdir -p "$fonts"
cmp -s "$MARLETT" "$fonts/marlett.ttf" || cp "$MARLETT" "$fonts/marlett.ttf"
echo "prefix-setup: $WINEPREFIX ready"
