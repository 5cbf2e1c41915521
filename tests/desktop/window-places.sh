#!/bin/sh
# Under a real X server and window manager: the panel and the page open
# where they were left, at the size they had, after a restart; and where
# the screen has since become smaller (150 %), still on the screen.
#   window-places.sh QELVAR
set -u
q=$1
tag=places
. "$(dirname "$0")/../support/testlib.sh"
need Xvfb openbox wmctrl xwininfo xprop
. "$(dirname "$0")/../support/xdesktop.sh"
export PULSE_SERVER=unix:/nonexistent # no sound is needed to look
export HOME="$work/home"
mkdir -p "$HOME"
at() { place "$(winid "$1")"; } # at TITLE
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
first=$(at Tessaly)
wmctrl -F -r Tessaly -e 0,120,60,900,560
wmctrl -F -r Qelvar -e 0,700,300,-1,-1
sleep 1
page=$(at Tessaly) panel=$(at Qelvar)
[ "$page" != "$first" ] || fail "the page could not be moved ($page)"
stop

start
[ "$(at Tessaly)" = "$page" ] || fail "the page opened at $(at Tessaly), not where it was left ($page)"
[ "$(at Qelvar)" = "$panel" ] || fail "the panel opened at $(at Qelvar), not where it was left ($panel)"
stop

# A smaller screen since: the page is kept on it, frame and all.
export QT_SCALE_FACTOR=1.5
start
corners=$(frame "$(winid Tessaly)") || fail "at 150 % the page reaches off the screen: $corners"
stop

[ $status -eq 0 ] || { cat "$work/out"; echo "--- kept at $work"; }
finish
