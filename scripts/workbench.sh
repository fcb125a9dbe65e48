#!/bin/sh
# Sets up, builds the library workbench (tools/workbench) and starts it
# under Wine set to Windows XP: one window in which every service of the
# utility library is at work.
#
# With a display the window opens there. Without one the workbench runs
# in a Wine virtual desktop under Xvfb: a picture of its window is saved
# as build/default/workbench.png, Alt+F4 closes it, and the script exits
# 0 when the picture was saved and the workbench ended with code 0.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target Workbench showcase

. ./scripts/showcase.sh
tools="$PWD/build/default/tools"

if [ -n "${DISPLAY:-}" ]; then
    sh "$prefix_setup"
    exec "$WINE64" "$tools/workbench/Workbench.exe"
fi

# The picture shows the workbench where a user would keep it, not the
# build tree: its file field starts with its own path.
shot="$PWD/build/default/workbench"
home="$WINEPREFIX/drive_c/Program Files/Kelmora Software/Tarnell Library Workbench"
mkdir -p "$home"
cp "$tools/workbench/Workbench.exe" "$home/Workbench.exe"
cd "$home"
headless_showcase Workbench,1024x768 "$tools/showcase.exe" "$shot" \
    Workbench.exe TarnellWorkbench "Z:$shot.bmp" "Z:$shot.code" alt+f4
if [ ! -f "$shot.png" ]; then
    echo "workbench: no picture saved" >&2
    exit 1
fi
echo "picture: $shot.png"
code=$(cat "$shot.code" 2>/dev/null || echo 1)
echo "workbench exited with code $code"
[ "$code" = 0 ]
