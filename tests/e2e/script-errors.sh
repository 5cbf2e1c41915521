#!/bin/sh
# Script lines that cannot be carried out end the program at once with
# status 2 and one line "script line N: REASON" on standard error.
set -u
qelvar=$1
tag=e2e
. "$(dirname "$0")/../support/testlib.sh"
home=$work
[ -n "${XDG_RUNTIME_DIR:-}" ] || { mkdir -m 700 "$home/.runtime" && export XDG_RUNTIME_DIR="$home/.runtime"; }
export QT_QPA_PLATFORM=offscreen
check() { # check EXPECTED-LINE-PREFIX SCRIPT-TEXT
    printf '%s\n' "$2" > "$home/s"
    timeout 60 "$qelvar" --script "$home/s" > "$home/out" 2> "$home/err"
    rc=$?
    if [ $rc -ne 2 ] || ! grep -q "^$1" "$home/err" || [ "$(wc -l < "$home/err")" -ne 1 ]; then
        fail "expected status 2 and '$1...', got $rc:"; cat "$home/err"
    fi
}
check "script line 1: " "frobnicate panel"
check "script line 3: " "# comment

print nowindow.Label1"
check "script line 1: " "print panel.NoSuchControl"
check "script line 2: " "wait 1
wait soon"
check "script line 1: " "click page.Play"
check "script line 1: " "shown nowindow"
finish
