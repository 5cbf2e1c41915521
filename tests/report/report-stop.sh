#!/bin/sh
# qelvar --report on the private loopback, stopped part way: Ctrl+C (SIGINT)
# and SIGTERM end it at once with 128 + the signal, say so, and leave the
# report's folder without a file. On a terminal the progress is one line
# that counts the seconds down.
#   report-stop.sh QELVAR
set -u
q=$1
tag=stop
. "$(dirname "$0")/../support/testlib.sh"

# stop SIGNAL: a run stopped by SIGNAL once the signal is playing.
stop() {
    out="$work/$1.out"
    "$q" --report "$work/$1" > "$out" 2>&1 &
    pid=$!
    for _ in $(seq 300); do
        grep -q "Playing the test signal" "$out" && break
        sleep 0.1
    done
    grep -q "Playing the test signal" "$out" || fail "$1: the run never played"
    sleep 1
    kill -"$1" "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null && sleep 0.1 || break; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "$1 did not end the run within 10 s"
        kill -9 "$pid"
    fi
    wait "$pid"
    rc=$?
    [ "$rc" -eq "$2" ] || fail "$1: exit status $rc, not $2"
    grep -q "stopped; no report written" "$out" || fail "$1: no word that it stopped"
    [ -z "$(ls -A "$work/$1" 2>/dev/null)" ] || fail "$1 left files: $(ls "$work/$1")"
}
stop INT 130
stop TERM 143

# A terminal sees one line that updates: carriage returns and the time left.
if command -v script >/dev/null; then
    timeout 60 script -qec "\"$q\" --report \"$work/tty\" > \"$work/tty.stdout\"" \
        "$work/tty.log" > /dev/null 2>&1
    grep -q "$(printf '\r')qelvar: Playing the test signal.* [0-9]* s left" "$work/tty.log" ||
        fail "no updating progress line on a terminal"
    lines=$(grep -c "Playing the test signal" "$work/tty.log")
    [ "$lines" -le 1 ] || fail "the progress took $lines lines on a terminal, not one"
fi

[ $status -eq 0 ] || for f in "$work"/*.out; do echo "--- $f"; cat "$f"; done
finish
