#!/bin/sh
# Checks that a test program that crashes ends at once, with a failure,
# and never waits for a debugger: crash_probe crashes on a thread of its
# own, once with the test helpers' crash report (which must name the
# exception) and once without it (then only the prefix decides, and no
# debugger may start).
# Each run has a session of its own, so that what it started, and only
# that, can be found again afterwards and ended by its process id.
# Usage: check_crash.sh WINE_RUN CRASH_PROBE.EXE LIMIT_SECONDS MODE...
set -u
wine_run=$1 probe=$2 limit=$3
shift 3
fail=0
out=$(mktemp)
trap 'rm -f "$out"' EXIT

for mode in "$@"; do
    started=$(date +%s)
    setsid timeout "$limit" sh "$wine_run" "$probe" "$mode" >"$out" 2>&1 &
    session=$!
    wait $session
    status=$?
    took=$(( $(date +%s) - started ))
    sed "s/^/  $mode: /" "$out"
    if [ "$status" -eq 124 ]; then
        echo "FAIL: $mode: still running after $limit s (waiting for a debugger?)"; fail=1
    elif [ "$status" -eq 0 ]; then
        echo "FAIL: $mode: exit status 0 after a crash"; fail=1
    elif [ "$mode" = reported ] &&
         ! grep -Eq "test program crashed: exception [0-9A-F]{8} at " "$out"; then
        echo "FAIL: $mode: no crash report naming the exception"; fail=1
    else
        echo "ok: $mode: ended in $took s with exit status $status"
    fi
    # A debugger that did start would outlive the probe, in its session.
    debuggers=$(ps -o pid= -o args= -s "$session" 2>/dev/null | awk '/winedbg/ { print $1 }')
    if [ -n "$debuggers" ]; then
        echo "FAIL: $mode: a debugger is running (process $debuggers)"; fail=1
        kill $debuggers 2>/dev/null
    fi
done
exit $fail
