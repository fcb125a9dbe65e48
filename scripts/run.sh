#!/bin/sh
# Sets up, builds the launcher, assembles the sample disc folder
# (build/default/disc) and starts the launcher from it under Wine set to
# Windows XP, as autorun would start it from a disc.
#
# With a display the window opens there. Without one the launcher runs in
# a Wine virtual desktop under Xvfb: a picture of its window is saved as
# build/default/screenshot.png, "Don't Install" is pressed, and the script
# exits with the launcher's exit code.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh
echo "run: building the launcher, the sample disc and the showcase in build/default"
cmake --preset default >/dev/null
cmake --build --preset default --target disc showcase

. ./scripts/showcase.sh
disc="$PWD/build/default/disc"

if [ -n "${DISPLAY:-}" ]; then
    sh "$prefix_setup"
    cd "$disc"
    set +e
    "$WINE64" ./TARNELL.EXE
    code=$?
    echo "launcher exited with code $code"
    exit $code
fi

shot="$PWD/build/default/screenshot"
cd "$disc"
headless_showcase KELMORA,800x600 "$(dirname "$disc")/tools/showcase.exe" "$shot" \
    TARNELL.EXE TARNELL "Z:$shot.bmp" "Z:$shot.code" tab enter
if [ -f "$shot.png" ]; then
    echo "screenshot: $shot.png"
fi
code=$(cat "$shot.code" 2>/dev/null || echo 1)
echo "launcher exited with code $code"
[ "$code" = 0 ]
