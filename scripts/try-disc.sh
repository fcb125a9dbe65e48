#!/bin/sh
# Tries a disc image on every Windows version Wine offers, the seventeen
# Win32 ones from Win32s to Windows 10, each in a Wine session of its own
# with the image in a CD-ROM drive, shut in by a sandbox, and says whether
# each one behaved as the launcher promises.
#
# Usage: ./scripts/try-disc.sh IMAGE [--output DIR] [--versions LIST] [--no-sandbox]
# DIR (default build/try/NAME, NAME the image's file name without its
# extension) gets a picture per version, sheet.png and report.txt.
# Sets up and builds what it needs first; each session has its own Xvfb.
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

exec /usr/bin/python3 "$root/disc/try_disc.py" --driver "$root/build/try-tools/tools/trial_driver.exe" \
    --prefix "$root/build/try-prefix" "$@"
