#!/bin/sh
# Every window opens fully on a 1366 x 768 screen under a window manager,
# at 100 % and at 150 % (QT_SCALE_FACTOR=1.5), frame included. With a
# folder, a picture of the screen with each window is left there as
# WINDOW-SCALE.png (docs/screens holds the ones the README shows).
#   fit-screen.sh QELVAR [FOLDER]
set -u
q=$1
out=${2:-}
tag=fit
. "$(dirname "$0")/../support/testlib.sh"
need Xvfb openbox wmctrl xwininfo xprop
if [ -n "$out" ]; then
    for tool in xwd xwdtopnm pnmtopng; do
        command -v $tool >/dev/null || { echo "$tool is needed for pictures"; exit 1; }
    done
    mkdir -p "$out"
fi
. "$(dirname "$0")/../support/xdesktop.sh"
export PULSE_SERVER=unix:/nonexistent # no sound is needed to look

# window NAME TITLE SCRIPT-LINES: opens the window, checks its frame lies on
# the screen, and takes its picture.
window() {
    name=$1 title=$2 lines=$3
    for scale in 1 1.5; do
        for attempt in 1 2; do
            export HOME="$work/$name-$scale-$attempt"
            mkdir -p "$HOME"
            printf '%s\nwait 30000\nquit\n' "$lines" > "$HOME/script"
            QT_SCALE_FACTOR=$scale "$q" --script "$HOME/script" >/dev/null 2>"$HOME/stderr" &
            pid=$!
            for n in $(seq 400); do # 40 s: a sanitized build opens the graph slowly
                id=$(winid "$title"); [ -z "$id" ] || break; sleep 0.1
            done
            [ -z "$id" ] || break
            # Say what became of it, so that a rare stall can be traced.
            echo "$name did not open at $scale (attempt $attempt); the program is" \
                "$(kill -0 $pid 2>/dev/null && echo still running || echo gone); windows:"
            wmctrl -l
            tail -n 20 "$HOME/stderr"
            command -v gdb >/dev/null && kill -0 $pid 2>/dev/null &&
                gdb -p $pid -batch -ex 'set print frame-arguments none' -ex 'thread apply all bt' 2>/dev/null | grep '^#'
            kill $pid 2>/dev/null
            for n in $(seq 30); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
            kill -9 $pid 2>/dev/null
            wait $pid 2>/dev/null
        done
        if [ -z "$id" ]; then
            fail "$name did not open at $scale"
        else
            sleep 1.5 # mapped, placed and painted
            wmctrl -i -a "$id"
            sleep 0.5
            corners=$(frame "$id") || fail "$name at $scale reaches off the screen"
            echo "$name at $scale: $(place "$id" | awk '{ print $3 "x" $4 }'), frame from $corners"
            tag=$([ "$scale" = 1 ] && echo 100 || echo 150)
            [ -n "$out" ] && xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$out/$name-$tag.png"
        fi
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
}

window panel Qelvar ''
window page Tessaly 'click panel.Label21'
window graph Form4 'click panel.Label21
click page.AutobuildAll
click page.ViewGraph'
window help "Qelvar HELP" 'click panel.Label13'
window pagehelp "Tessaly Help" 'click panel.Label21
click page.Help'
finish
