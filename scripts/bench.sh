#!/bin/sh
# Sets up, builds and runs the benchmarks (bench/), each figure printed
# beside a reference measured in the same run: the checksums against
# Boost's CRC (both builds), the log viewer on 1 and 2 GiB logs against a
# 64 KB one (both builds), the disc image command on a 600 MB installer
# against xorriso writing the same image alone, and the disc trial on
# seventeen Windows versions against as many bare Wine sessions. The test
# command runs none of them. A step that fails ends the command with one
# line that names it.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
wine_layer=$root/wine
# The checkout's template prefix, which the tests share too; the
# benchmarks run in a session cloned from it.
template=$root/build/wine-template
work=$root/build/bench-work

step() {
    what=$1
    shift
    "$@" || {
        status=$?
        echo "bench: failed: $what (exit code $status)" >&2
        exit 1
    }
}

# Inside the session (the command starts itself again there).
if [ "${1:-}" = --in-session ]; then
    for build in wine64 default; do
        case $build in
            wine64) wine=$WINE64 ;;
            *) wine=$WINE32 ;;
        esac
        echo "Benchmarks, $build build:"
        step "the checksum benchmark ($build build)" "$wine" "build/$build/bench/checksum_bench.exe"
        step "the log viewer benchmark ($build build)" /usr/bin/python3 bench/bench_logview.py \
            "$wine" "build/$build/bench/logview_probe.exe" "$TARNELL_WINEPREFIX" "$work/logview-$build"
    done
    echo "Benchmark, the disc image command:"
    disc=build/default/disc
    step "the disc image benchmark" /usr/bin/python3 bench/bench_make_disc.py \
        "$disc/TARNELL.EXE" "$disc/AUTORUN.INF" "$disc/SETUP.EXE" "$work/disc"
    echo "Benchmark, the disc trial (its driver 64-bit, as try-disc.sh builds it):"
    step "the disc trial benchmark" /usr/bin/python3 bench/bench_try_disc.py \
        "$disc" build/wine64/disc build/wine64/tools/trial_driver.exe "$work/try"
    exit 0
fi

step "setting up the machine" ./scripts/setup.sh
for preset in wine64 default; do
    step "configuring the $preset build" cmake --preset "$preset" >/dev/null
    step "building the $preset build" cmake --build --preset "$preset" --target benchmarks disc trial_driver
done
# Made when missing and set up as the tests' fixture does, one user at a
# time.
step "setting up the Wine prefix" env TARNELL_WINEPREFIX="$template" flock "$template.lock" \
    sh "$wine_layer/session.sh" --folder "$work" -- sh "$wine_layer/prefix-setup.sh" >/dev/null
# Each step inside says for itself when it fails.
exec sh "$wine_layer/session.sh" --template "$template" --folder "$work" \
    -- sh "$root/scripts/bench.sh" --in-session
