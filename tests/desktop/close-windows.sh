#!/bin/sh
# Under a real X server and window manager: the window manager's close of
# each window (by wmctrl), the panel's close with the page open, and SIGTERM
# each save what the off controls save, and the sweep stops sounding. The
# panel carries the program's icon and the desktop entry's window class.
#   close-windows.sh QELVAR DESKTOP_FILE
set -u
q=$1
entry=$2
tag=desktop
. "$(dirname "$0")/../support/testlib.sh"
need Xvfb openbox wmctrl xwininfo xprop xdotool parec
. "$(dirname "$0")/../support/xdesktop.sh"

# The loudest sample over half a second of the default source (the sink's
# monitor); a fixed number of bytes, as parec buffers what it writes.
peak() {
    timeout 3 parec --raw --format=s16le --channels=2 --rate=44100 --latency-msec=20 2>/dev/null |
        head -c 88200 | od -An -v -td2 -w2 | awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) m = v }
                                                    END { print m + 0 }'
}
# Sound starts once the stream is open and stops a buffer or two late.
sounding() { for try in 1 2 3 4 5 6 7 8; do [ "$(peak)" -gt 1000 ] && return 0; done; return 1; }
silent() { for try in 1 2 3 4 5 6; do [ "$(peak)" -lt 100 ] && return 0; done; return 1; }
holds() { grep -q "$2" "$HOME/Qelvarfiles/$1" 2>/dev/null; }

ended() { # the program ended by itself, with status 0, within 15 s
    for n in $(seq 150); do kill -0 "$pid" 2>/dev/null && sleep 0.1 || { wait "$pid"; return; }; done
    kill -9 "$pid"; return 1
}
sweep='click panel.Label21
click page.AutobuildAll
click page.ViewGraph
click graph.Lonly
click page.Loop
click page.Play'

# run NAME PAD: the sweep with PAD typed in the scratchpad in a fresh HOME,
# the graph open, the graph's and panel's set-up files removed; $pid is the
# program's.
run() {
    export HOME="$work/$1"
    mkdir -p "$HOME"
    printf '%s\ntype page.Scratchpad %s\nwait 60000\n' "$sweep" "$2" > "$work/$1.qscript"
    "$q" --script "$work/$1.qscript" > "$work/$1.out" 2>&1 &
    pid=$!
    waitfor Form4 || fail "the graph did not open"
    sleep 1
    rm -f "$HOME/Qelvarfiles/wavgraphsetup" "$HOME/Qelvarfiles/wavoscsetup"
}
saved() { # saved PAD WHEN: every window saved
    holds tessalysetup "$1" || fail "$2 lost the page's set-up"
    [ -s "$HOME/Qelvarfiles/wavgraphsetup" ] || fail "$2 lost the graph's options"
    [ -s "$HOME/Qelvarfiles/wavoscsetup" ] || fail "$2 lost the panel's set-up"
}

# 1. The window manager closes the page, then the graph, then the panel.
run wm "closed by the window manager"
sounding || fail "the sweep is not heard before the close"
id=$(winid Qelvar)
xprop -id "$id" WM_CLASS | grep -q "\"$(sed -n 's/^StartupWMClass=//p' "$entry")\"" ||
    fail "window class $(xprop -id "$id" WM_CLASS) does not match the desktop entry"
[ "$(xprop -id "$id" _NET_WM_ICON | wc -c)" -gt 1000 ] || fail "the panel has no icon"
wmctrl -F -c Tessaly && waitfor Tessaly gone || fail "the page did not close"
holds tessalysetup "closed by the window manager" || fail "the page's close saved no set-up"
silent || fail "the sweep still sounds after the page closed"
wmctrl -F -c Form4 && waitfor Form4 gone || fail "the graph did not close"
[ -s "$HOME/Qelvarfiles/wavgraphsetup" ] || fail "the graph's close saved no options"
wmctrl -F -c Qelvar || fail "no panel to close"
ended || fail "the program did not end when its last window closed"
[ -s "$HOME/Qelvarfiles/wavoscsetup" ] || fail "the panel's close saved no set-up"

# 2. Closing the panel while the page and the graph are open closes them
# first, each saving.
run panel "closed with the panel"
wmctrl -F -c Qelvar || fail "no panel to close"
ended || fail "closing the panel did not end the program"
saved "closed with the panel" "closing the panel"
silent || fail "the sweep sounds after the program ended"

# 3. The session ends (logout): SIGTERM.
run term "kept at the session end"
sounding || fail "the sweep is not heard before SIGTERM"
kill -TERM "$pid"
ended || fail "SIGTERM did not end the program with status 0"
saved "kept at the session end" SIGTERM
silent || fail "the sweep sounds after SIGTERM"

# start NAME SCRIPT: the program in a fresh HOME running SCRIPT, then
# waiting; $pid is the program's.
start() {
    export HOME="$work/$1"
    mkdir -p "$HOME"
    printf '%s\nwait 60000\n' "$2" > "$work/$1.qscript"
    "$q" --script "$work/$1.qscript" > "$work/$1.out" 2>&1 &
    pid=$!
}
alive() { sleep 2; kill -0 "$pid" 2>/dev/null; }
unlocked() { [ ! -e "$HOME/Qelvarfiles/qelvar.lock" ]; }

# 4. The graph closed while its sound-card test runs: the run stops with
# it (silence, no report files); the program goes on, and ends normally.
start report "click panel.Label21
click page.ViewGraph
dialog $work/report/out
click graph.mnuReport"
waitfor Form4 || fail "the graph did not open for the test run"
sounding || fail "the test run is not heard"
wmctrl -F -c Form4 && waitfor Form4 gone || fail "the graph did not close during the test run"
alive || fail "closing the graph during the test run ended the program"
silent || fail "the test run still sounds after its graph closed"
[ -z "$(ls -A "$work/report/out" 2>/dev/null)" ] ||
    fail "the cancelled test run wrote $(ls "$work/report/out")"
wmctrl -F -c Qelvar || fail "no panel to close after the test run"
ended || fail "the program did not end normally after the test run was cut short"
[ -s "$HOME/Qelvarfiles/wavgraphsetup" ] || fail "the graph closed during the test run saved no options"

# 5. The panel closed while the page's help is open: the program ends, the
# help with it, and the data folder is free again.
start pagehelp "click panel.Label21
click page.Help"
waitfor "Tessaly Help" || fail "the page's help did not open"
wmctrl -F -c Qelvar || fail "no panel to close with the help open"
ended || fail "closing the panel left the program running with the page's help open"
unlocked || fail "the data folder is still locked after the panel closed"

# 6. Ctrl+Q on the panel closes it as Off does, and ends the program.
start ctrlq "wait 100"
waitfor Qelvar || fail "no panel for Ctrl+Q"
xdotool windowactivate --sync "$(winid Qelvar)" key --clearmodifiers ctrl+q
ended || fail "Ctrl+Q on the panel did not end the program"
[ -s "$HOME/Qelvarfiles/wavoscsetup" ] || fail "Ctrl+Q did not save the panel's set-up"

# 7. From start to a measured sweep and its graph by the keyboard alone,
# five keys: Alt+U the page, Alt+A build, Alt+D full duplex, Alt+P play,
# Alt+G the graph.
start keys "wait 45000
print page.Left(1)
print page.Right(20)
shown graph"
waitfor Qelvar || fail "no panel for the keyboard"
press() { xdotool key --clearmodifiers "$1"; sleep 0.7; }
xdotool windowactivate --sync "$(winid Qelvar)"
press alt+u
waitfor Tessaly || fail "Alt+U did not open the page"
press alt+a
press alt+d
press alt+p
sleep 28 # the sweep
press alt+g
waitfor Form4 || fail "Alt+G did not draw the sweep"
for n in $(seq 300); do grep -q '^graph=' "$work/keys.out" && break; sleep 0.1; done
grep -Eq '^page.Left\(1\)=-?[0-9]' "$work/keys.out" || fail "the keyboard's sweep read no row 1"
grep -Eq '^page.Right\(20\)=-?[0-9]' "$work/keys.out" || fail "the keyboard's sweep read no row 20"
grep -q '^graph=1$' "$work/keys.out" || fail "the graph is not shown after the keys"
wmctrl -F -c Qelvar
ended || fail "the program did not end after the keyboard's sweep"

# 8. The display goes away (the X server dies under a logout): every
# window's work is saved on the way out and the data folder let go. Last:
# nothing runs on this display after it.
run xgone "kept without a display"
kill "$xvfb"
for n in $(seq 150); do kill -0 "$pid" 2>/dev/null && sleep 0.1 || break; done
if kill -0 "$pid" 2>/dev/null; then
    fail "the program did not end when the display went away"
    kill -9 "$pid"
fi
saved "kept without a display" "losing the display"
unlocked || fail "the data folder is still locked after the display went away"

if [ $status -ne 0 ]; then
    for run in wm panel term report pagehelp ctrlq keys xgone; do echo "--- $run output"; cat "$work/$run.out"; done
    echo "--- kept at $work"
fi
finish
