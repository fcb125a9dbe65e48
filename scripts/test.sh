#!/bin/sh
# Sets up, builds and runs the whole suite.
#
# Two builds of the same sources: "default" is the product, 32-bit Windows
# code; "wine64" is a 64-bit build for hosts whose kernel runs no 32-bit
# programs, where 32-bit Wine can only run under emulation, a minute per
# process. The 64-bit build runs the whole suite; the 32-bit build checks
# the real Tarnell.exe and, under emulation, opens and uses it once each
# way. Everything runs inside one Xvfb session with a 1024 x 768 screen.
# The benchmarks are scripts/bench.sh's.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh
for preset in wine64 default; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

# A wineserver started earlier for another display would keep it.
wine_layer=$PWD/wine
. "$wine_layer/wine-env.sh"
for build in wine64 default; do
    WINEPREFIX="$PWD/build/$build/wineprefix" "$WINESERVER" -k 2>/dev/null || true
done

exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    status=0
    ctest --preset wine64 || status=1
    ctest --preset default || status=1
    exit $status'
