#!/bin/sh
# The command line answers without a display or a sound server; without a
# display the program says so in one line; one copy at a time runs on a
# data folder, and a copy that was killed does not lock the next one out.
set -u
q=$1
tag=cli
. "$(dirname "$0")/../support/testlib.sh"
home=$work
unset DISPLAY WAYLAND_DISPLAY
run() { # run STATUS WHAT COMMAND...: COMMAND ends with STATUS; its stderr is left in $err
    want=$1 what=$2; shift 2; err=$("$@" 2>&1 >/dev/null); rc=$?
    [ $rc -eq "$want" ] || fail "$what: status $rc"
}
out=$("$q" --version) || fail "--version status"
[ "$out" = "qelvar 0.1.0" ] || fail "--version said '$out'"
"$q" --help | grep -q -- "--output-device" || fail "--help lacks --output-device"
"$q" --bogus >/dev/null 2>&1 && fail "an unknown option was accepted"
run 2 "unknown output device" "$q" --output-device no-such-card
echo "$err" | grep -q 'no output device matches "no-such-card"' || fail "message was '$err'"
[ ! -e "$home/Qelvarfiles/wavdevices" ] || fail "a rejected choice was remembered"

# Options that go together, and their ranges, before anything plays.
for bad in "--length 2" "--sweep $home/s --length 0.5" "--sweep $home/s --averages 9" \
    "--sweep $home/s --check" "--check --report $home/r"; do
    # shellcheck disable=SC2086 # the words are the options
    run 2 "$bad" "$q" $bad
done
[ ! -e "$home/s" ] || fail "a refused sweep wrote its folder"
run 2 "--check without a sound server" timeout 60 "$q" --check
echo "$err" | grep -q "could not be read" || fail "--check without a sound server said: $err"

run 1 "--list-devices without a sound server" timeout 60 "$q" --list-devices
echo "$err" | grep -q "no sound device found" || fail "--list-devices without a sound server said: $err"

run 1 "without a display" env QT_QPA_PLATFORM=xcb timeout 30 "$q"
[ "$(echo "$err" | wc -l)" -eq 1 ] && echo "$err" | grep -q "no display" ||
    fail "without a display it said: $err"

# The first copy is killed only once its sound start-up is over: a
# process killed inside ALSA's JACK plugin leaves JACK's shared database
# locked, and every later JACK client on the machine hangs.
printf 'wait 3000\nprint panel.Label1\nwait 30000\nquit\n' > "$home/long"
printf 'print panel.Label1\nquit\n' > "$home/short"
"$q" --script "$home/long" > "$home/first.out" 2>&1 &
first=$!
n=0
until grep -q '^panel.Label1=' "$home/first.out" 2>/dev/null; do
    n=$((n + 1)); [ $n -lt 300 ] || break; sleep 0.1
done
run 1 "a second copy on the same folder" timeout 30 "$q" --script "$home/short"
echo "$err" | grep -q "is in use by another copy of qelvar (process $first)" ||
    fail "the second copy said: $err"
kill -9 $first
wait $first 2>/dev/null
[ -e "$home/Qelvarfiles/qelvar.lock" ] || fail "no lock was left by the killed copy"
out=$(timeout 30 "$q" --script "$home/short" 2>/dev/null)
rc=$?
[ $rc -eq 0 ] && [ -n "$out" ] || fail "a stale lock kept the next copy out: status $rc"
finish
