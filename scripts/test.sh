#!/bin/sh
# Sets up, builds and runs the whole suite, and ends with a line per
# build: its tests passed and failed, and its wall time. Exits 1 when a
# test of either build failed.
#
# Two builds of the same sources: "default" is the product, 32-bit Windows
# code; "wine64" is a 64-bit build for hosts whose kernel runs no 32-bit
# programs, where 32-bit Wine can only run under emulation, a minute per
# process. The 64-bit build runs the whole suite; the 32-bit build checks
# the real Tarnell.exe and, under emulation, opens and uses it once each
# way. Each Wine test runs in a Wine session of its own (its own prefix,
# display and server; see tests/CMakeLists.txt), so CTest runs as many
# tests at once as the machine has cores. The benchmarks are
# scripts/bench.sh's.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh
for preset in wine64 default; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

cores=$(nproc)
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
for build in wine64 default; do
    started=$(date +%s)
    # Shown as it runs and kept for the summary; CTest's exit code comes
    # through a file, past the pipe.
    { ctest --preset "$build" -j "$cores" || echo failed >"$results/$build.failed"; } |
        tee "$results/$build.log"
    echo $(( $(date +%s) - started )) >"$results/$build.seconds"
done

# CTest's own count: "N% tests passed, F tests failed out of T".
status=0
echo
echo "Summary:"
for build in wine64 default; do
    counts=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests* failed out of \([0-9]*\).*/\1 \2/p' \
             "$results/$build.log" | tail -n 1)
    seconds=$(cat "$results/$build.seconds")
    time="$((seconds / 60)) min $((seconds % 60)) s"
    if [ -n "$counts" ]; then
        failed=${counts% *} total=${counts#* }
        line="$((total - failed)) passed, $failed failed"
    else
        failed=1 line="no tests ran"
    fi
    if [ -f "$results/$build.failed" ] || [ "$failed" -ne 0 ]; then
        status=1
    fi
    printf '  %-8s %s, %s\n' "$build:" "$line" "$time"
done
exit $status
