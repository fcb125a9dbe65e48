#!/bin/sh
# Runs a command in a Wine session of its own: its own prefix, cloned from
# a template prefix that prefix-setup.sh made once, its own X display (an
# Xvfb of its own) and so its own Wine server. No window, focus or
# registry setting passes between two sessions that run at once, and
# ending the session ends every program it started, and nothing else.
#
#   session.sh [--template PREFIX] [--screen WxHxD] [--folder DIR] -- COMMAND...
#
# --template  the prefix to clone (default: TARNELL_WINEPREFIX); without
#             one the command runs in TARNELL_WINEPREFIX itself
# --screen    the display's size and depth (default 1024x768x24)
# --folder    where the session's folder is made (default: TMPDIR or /tmp)
#
# The command finds the session's prefix in TARNELL_WINEPREFIX and
# WINEPREFIX, its display in DISPLAY. The session's exit code is the
# command's. Interrupted (INT, TERM), the session ends its programs, its
# display and its folder, and exits 130 or 143.
set -eu
wine_layer=$(cd "$(dirname "$0")" && pwd)

template=${TARNELL_WINEPREFIX:-}
clone=
screen=1024x768x24
folder=${TMPDIR:-/tmp}
while [ $# -gt 0 ]; do
    case $1 in
        --template) template=$2; clone=1; shift 2 ;;
        --screen) screen=$2; shift 2 ;;
        --folder) folder=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "session: not an option: $1" >&2; exit 2 ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: session.sh [--template PREFIX] [--screen WxHxD] [--folder DIR] -- COMMAND..." >&2; exit 2; }

mkdir -p "$folder"
# Absolute: Wine refuses a relative prefix.
session=$(cd "$(mktemp -d "$folder/wine-session.XXXXXX")" && pwd)
xvfb_pid=
display_file=$session/display

command_pid=
end_session() {
    if [ -n "$command_pid" ]; then
        kill "$command_pid" 2>/dev/null || true
        wait "$command_pid" 2>/dev/null || true
    fi
    if [ -n "${TARNELL_WINEPREFIX:-}" ] && [ -d "$TARNELL_WINEPREFIX" ]; then
        WINEPREFIX=$TARNELL_WINEPREFIX "$WINESERVER" -k 2>/dev/null || true
        WINEPREFIX=$TARNELL_WINEPREFIX "$WINESERVER" -w 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$session"
}
trap 'end_session' EXIT
trap 'end_session; trap - EXIT; exit 130' INT
trap 'end_session; trap - EXIT; exit 143' TERM

. "$wine_layer/wine-env.sh"

# The prefix: the template's small, changing files copied (the registry,
# the users' folders), its large system folders linked, which no program of
# a trusted session writes (the disc trial mounts them read-only besides).
if [ -n "$clone" ]; then
    sh "$wine_layer/clone-prefix.sh" "$template" "$session/prefix"
    export TARNELL_WINEPREFIX="$session/prefix"
fi
if [ -z "${TARNELL_WINEPREFIX:-}" ]; then
    echo "session: no prefix: give --template or TARNELL_WINEPREFIX" >&2
    exit 2
fi
export WINEPREFIX="$TARNELL_WINEPREFIX"

# The display: Xvfb picks a free number itself and writes it to the file
# once it listens, so two sessions starting at once never take the same.
exec 3>"$display_file"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 3>&3 &
xvfb_pid=$!
exec 3>&-
waited=0
while [ ! -s "$display_file" ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null || [ "$waited" -ge 300 ]; then
        echo "session: Xvfb did not start" >&2
        exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
done
export DISPLAY=":$(cat "$display_file")"

# In the background, so that an interrupt is taken at once: the traps end
# the command with its session. A background command would ignore SIGINT
# and SIGQUIT; it gets them as in the foreground, so it can be
# interrupted on its own and clean up after itself.
env --default-signal=INT,QUIT "$@" &
command_pid=$!
set +e
wait "$command_pid"
status=$?
set -e
command_pid=
exit $status
