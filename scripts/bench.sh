#!/bin/sh
# Sets up, builds and runs the benchmarks, each figure printed beside a
# reference measured in the same run: the checksums against Boost's CRC
# (both builds), the log viewer on 1 and 2 GiB logs against a 64 KB one
# (both builds), the disc image command on a 600 MB installer against
# plain copies of the same tree, and the disc trial on eleven Windows
# versions against eleven bare Wine sessions. The test command runs none
# of them.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh
for preset in wine64 default; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target util_tests logview_bench disc trial_driver
done

# A wineserver started earlier for another display would keep it.
WINEPREFIX="$PWD/build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true

exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    set -e
    export TARNELL_WINEPREFIX="$PWD/build/wineprefix"
    TARNELL_WINE=/usr/lib/wine/wine64 sh tests/wine/prefix-setup.sh >/dev/null
    for build in wine64 default; do
        case $build in
            wine64) wine=/usr/lib/wine/wine64 ;;
            *) wine=/usr/lib/wine/wine ;;
        esac
        echo "Benchmarks, $build build:"
        TARNELL_WINE=$wine sh tests/wine/wine-run.sh build/$build/testbin/util_tests.exe \
            "--gtest_filter=*Benchmark.*" | grep -F "[ bench    ]"
    done
    echo "Benchmark, the disc image command:"
    disc=build/default/disc
    /usr/bin/python3 tests/disc/bench_make_disc.py "$disc/TARNELL.EXE" "$disc/AUTORUN.INF" \
        "$disc/SETUP.EXE" build/default/bench/disc
    echo "Benchmark, the disc trial (its driver 64-bit, as try-disc.sh builds it):"
    /usr/bin/python3 tests/disc/bench_try_disc.py "$disc/TARNELL.EXE" "$disc/AUTORUN.INF" \
        "$disc/SETUP.EXE" build/wine64/disc-build/trial_driver.exe build/default/bench/try'
