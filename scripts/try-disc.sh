#!/bin/sh
# Tries a disc image on every Windows version Wine offers, the seventeen
# Win32 ones from Win32s to Windows 10, each in a Wine session of its own
# with the image in a CD-ROM drive, shut in by a sandbox, and says whether
# each one behaved as the launcher promises.
#
# Usage: ./scripts/try-disc.sh IMAGE [--output DIR] [--versions LIST]
#                              [--language CODE|all] [--no-sandbox]
# DIR (default build/try/NAME, NAME the image's file name without its
# extension) gets a picture per version, sheet.png and report.txt. Exit
# code 0 when every version kept the launcher's promise, 1 when one fell
# short or the input was refused, 2 for a wrong command line, 130 or 143
# when interrupted (Ctrl-C, SIGTERM). Sets up and builds what it needs
# first; each session has its own Xvfb.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
trial() {
    exec /usr/bin/python3 "$root/disc/try_disc.py" "$@"
}
# Without an image, or asked for help: the usage, before anything is built.
# The image and the output are named from where the command was given.
[ $# -ge 1 ] || trial --driver - --prefix -
for argument in "$@"; do
    if [ "$argument" = "-h" ] || [ "$argument" = "--help" ]; then
        trial --driver - --prefix - --help
    fi
done

# The set-up and the driver's build in the background, so that an
# interrupt is taken at once.
interrupted() {
    [ -z "${step:-}" ] || kill -TERM "$step" 2>/dev/null || true
    echo "try-disc: interrupted; nothing written" >&2
    exit "$1"
}
trap 'interrupted 130' INT
trap 'interrupted 143' TERM
run_step() {
    "$@" &
    step=$!
    wait "$step"
    step=
}
run_step "$root/scripts/setup.sh"
echo "try-disc: building the trial's driver in build/try-tools"
run_step sh -c 'cd "$0" && cmake --preset try >/dev/null && cmake --build --preset try --target trial_driver >/dev/null' "$root"
trap - INT TERM

trial --driver "$root/build/try-tools/tools/trial_driver.exe" --prefix "$root/build/try-prefix" "$@"
