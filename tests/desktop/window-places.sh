#!/bin/sh
# Under a real X server and window manager: the panel and the page open
# where they were left, at the size they had, after a restart; and where
# the screen has since become smaller (150 %), still on the screen.
#   window-places.sh QELVAR
set -u
q=$1
for tool in Xvfb openbox wmctrl xwininfo xprop; do
    command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-places.XXXXXX")
. "$(dirname "$0")/../support/xdesktop.sh"
export PULSE_SERVER=unix:/nonexistent # no sound is needed to look
export HOME="$work/home"
mkdir -p "$HOME"
status=0
fail() { echo "FAIL: $*"; status=1; }

waitfor() {
    for n in $(seq 400); do [ -n "$(winid "$1")" ] && return 0; sleep 0.1; done
    return 1
}
# place TITLE: the window's client area, "X Y WIDTH HEIGHT".
place() {
    xwininfo -id "$(winid "$1")" | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF }
        END { print x, y, w, h }'
}
# start: the program with its page open; waits for both windows.
start() {
    printf 'click panel.Label21\nwait 60000\n' > "$work/script"
    "$q" --script "$work/script" > "$work/out" 2>&1 &
    pid=$!
    waitfor Qelvar && waitfor Tessaly || fail "the windows did not open"
    sleep 1.5 # mapped and placed
}
stop() {
    wmctrl -F -c Qelvar
    for n in $(seq 150); do kill -0 "$pid" 2>/dev/null && sleep 0.1 || break; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

start
first=$(place Tessaly)
wmctrl -F -r Tessaly -e 0,120,60,900,560
wmctrl -F -r Qelvar -e 0,700,300,-1,-1
sleep 1
page=$(place Tessaly) panel=$(place Qelvar)
[ "$page" != "$first" ] || fail "the page could not be moved ($page)"
stop

start
[ "$(place Tessaly)" = "$page" ] || fail "the page opened at $(place Tessaly), not where it was left ($page)"
[ "$(place Qelvar)" = "$panel" ] || fail "the panel opened at $(place Qelvar), not where it was left ($panel)"
stop

# A smaller screen since: the page is kept on it, frame and all.
export QT_SCALE_FACTOR=1.5
start
set -- $(place Tessaly) $(xprop -id "$(winid Tessaly)" _NET_FRAME_EXTENTS | tr -dc '0-9 ')
left=$(($1 - $5)) top=$(($2 - $7)) right=$(($1 + $3 + $6)) bottom=$(($2 + $4 + $8))
if [ $left -lt 0 ] || [ $top -lt 0 ] || [ $right -gt 1366 ] || [ $bottom -gt 768 ]; then
    fail "at 150 % the page reaches off the screen: $left,$top to $right,$bottom"
fi
stop

if [ $status -ne 0 ]; then
    cat "$work/out"
    echo "--- kept at $work"
else
    rm -rf "$work"
fi
exit $status
