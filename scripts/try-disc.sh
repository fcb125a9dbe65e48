#!/bin/sh
# Tries a disc image on every Windows version Wine offers: 95, 98, Me,
# NT 3.51, NT 4.0, 2000, XP, Win32s, Server 2003, Vista and 10, each in a
# fresh Wine session with the image in a CD-ROM drive, and says whether
# each one behaved as the launcher promises.
#
# Usage: ./scripts/try-disc.sh IMAGE [--output DIR] [--versions LIST]
# DIR (default build/try/NAME, NAME the image's file name without its
# extension) gets a picture per version, sheet.png and report.txt.
# Sets up and builds what it needs first; runs under Xvfb.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# The image and the output are named from where the command was given.
for argument in "$@"; do
    if [ "$argument" = "-h" ] || [ "$argument" = "--help" ]; then
        exec /usr/bin/python3 "$root/disc/try_disc.py" --driver - --prefix - --help
    fi
done

"$root/scripts/setup.sh"
echo "try-disc: building the trial's driver in build/try-tools"
(cd "$root" && cmake --preset try >/dev/null && cmake --build --preset try --target trial_driver >/dev/null)

prefix="$root/build/try-prefix"
driver="$root/build/try-tools/tools/trial_driver.exe"
wine_layer=$root/wine
. "$wine_layer/wine-env.sh"
# A wineserver started earlier without this display would keep it.
WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true
exec xvfb-run -a -s "-screen 0 1024x768x24" \
    /usr/bin/python3 "$root/disc/try_disc.py" --driver "$driver" --prefix "$prefix" "$@"
