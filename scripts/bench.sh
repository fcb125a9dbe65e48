#!/bin/sh
# Sets up, builds and runs the benchmarks (bench/), each figure printed
# beside a reference measured in the same run: the checksums against
# Boost's CRC (both builds), the log viewer on 1 and 2 GiB logs against a
# 64 KB one (both builds), the disc image command on a 600 MB installer
# against plain copies of the same tree, and the disc trial on eleven
# Windows versions against eleven bare Wine sessions. The test command
# runs none of them.
set -eu
cd "$(dirname "$0")/.."
root=$PWD

./scripts/setup.sh
for preset in wine64 default; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target benchmarks disc trial_driver
done

wine_layer=$root/wine
. "$wine_layer/wine-env.sh"
prefix=$root/build/bench-prefix
# A wineserver started earlier for another display would keep it.
WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true

exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    set -e
    root=$1 prefix=$2
    TARNELL_WINEPREFIX=$prefix sh wine/prefix-setup.sh >/dev/null
    for build in wine64 default; do
        case $build in
            wine64) wine=$WINE64 ;;
            *) wine=$WINE32 ;;
        esac
        echo "Benchmarks, $build build:"
        WINEPREFIX=$prefix "$wine" build/$build/bench/checksum_bench.exe
        /usr/bin/python3 bench/bench_logview.py "$wine" build/$build/bench/logview_probe.exe \
            "$prefix" "$root/build/bench-work/logview-$build"
    done
    echo "Benchmark, the disc image command:"
    disc=build/default/disc
    /usr/bin/python3 bench/bench_make_disc.py "$disc/TARNELL.EXE" "$disc/AUTORUN.INF" \
        "$disc/SETUP.EXE" "$root/build/bench-work/disc"
    echo "Benchmark, the disc trial (its driver 64-bit, as try-disc.sh builds it):"
    /usr/bin/python3 bench/bench_try_disc.py build/default/disc build/wine64/disc \
        build/wine64/tools/trial_driver.exe "$root/build/bench-work/try"' \
    sh "$root" "$prefix"
