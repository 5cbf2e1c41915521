# Sourced by the desktop tests: an Xvfb screen of 1366 x 768 under openbox
# in $work (set by the caller), both stopped when the shell exits; DISPLAY
# is set and QT_QPA_PLATFORM unset.
Xvfb -displayfd 5 -screen 0 1366x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb=$!
openbox_pid=
trap '[ -n "$openbox_pid" ] && kill $openbox_pid 2>/dev/null; kill $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
n=0
until [ -s "$work/display" ]; do
    n=$((n + 1)); [ $n -lt 100 ] || { echo "Xvfb did not start"; exit 1; }; sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
openbox_pid=$!
n=0
until wmctrl -m >/dev/null 2>&1; do
    n=$((n + 1)); [ $n -lt 100 ] || { echo "openbox did not start"; exit 1; }; sleep 0.1
done
unset QT_QPA_PLATFORM
# A desktop has a session bus; this screen has none. Without an address
# the bus library would start one through the X server, forking the
# program while its other threads run, and under AddressSanitizer that
# child can hang on an allocator lock before it execs, leaving the program
# waiting for it for good (and the child holding the data folder's lock).
# An address where nothing listens fails at once instead.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
# winid TITLE: the id of the top-level window with exactly that title, if any.
winid() { wmctrl -l | awk -v t="$1" '{ w = $1; $1 = $2 = $3 = ""; sub(/^ +/, "") } $0 == t { print w }'; }
# waitfor TITLE [gone]: the window appears (or goes) within 40 s (a
# sanitized build is slow).
waitfor() {
    for n in $(seq 400); do
        case "$(winid "$1"):${2:-}" in ?*:gone | :) sleep 0.1 ;; *) return 0 ;; esac
    done
    return 1
}
# place ID: the window's client area, "X Y WIDTH HEIGHT".
place() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF }
        END { print x, y, w, h }'
}
# frame ID: the corners of the window's frame, "LEFT,TOP to RIGHT,BOTTOM";
# false where the frame reaches off the screen.
frame() {
    set -- $(place "$1") $(xprop -id "$1" _NET_FRAME_EXTENTS | tr -dc '0-9 ')
    l=$(($1 - $5)) t=$(($2 - $7)) r=$(($1 + $3 + $6)) b=$(($2 + $4 + $8))
    echo "$l,$t to $r,$b"
    [ $l -ge 0 ] && [ $t -ge 0 ] && [ $r -le 1366 ] && [ $b -le 768 ]
}
