#!/bin/sh
# Checks that a test program that crashes ends at once, with a failure,
# and never waits for a debugger: crash_probe crashes on a thread of its
# own, once with the test helpers' crash report (which must name the
# exception) and once without it (then only the prefix decides, and no
# debugger may start).
# Usage: check_crash.sh CRASH_PROBE.EXE LIMIT_SECONDS MODE...
set -u
here=$(dirname "$0")
probe=$1 limit=$2
shift 2
fail=0

for mode in "$@"; do
    started=$(date +%s)
    output=$(timeout "$limit" sh "$here/wine-run.sh" "$probe" "$mode" 2>&1)
    status=$?
    took=$(( $(date +%s) - started ))
    printf '%s\n' "$output" | sed "s/^/  $mode: /"
    if [ "$status" -eq 124 ]; then
        echo "FAIL: $mode: still running after $limit s (waiting for a debugger?)"; fail=1
    elif [ "$status" -eq 0 ]; then
        echo "FAIL: $mode: exit status 0 after a crash"; fail=1
    elif [ "$mode" = reported ] &&
         ! printf '%s\n' "$output" | grep -Eq "test program crashed: exception [0-9A-F]{8} at "; then
        echo "FAIL: $mode: no crash report naming the exception"; fail=1
    else
        echo "ok: $mode: ended in $took s with exit status $status"
    fi
done
# A debugger that did start would outlive the probe.
if pgrep -f 'winedbg' >/dev/null; then
    echo "FAIL: a debugger is running"; fail=1
    pkill -f winedbg
fi
exit $fail
