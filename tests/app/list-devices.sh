#!/bin/sh
# Through the private sound server: the server's own sinks and sources are
# listed (the loopback sink and its monitor, by name and description); a
# choice by part of a name or a description is accepted and remembered for
# the next start; an unknown one is refused.
set -u
q=$1
tag=cli
. "$(dirname "$0")/../support/testlib.sh"
home=$work
list=$(timeout 60 "$q" --list-devices) || fail "--list-devices status"
echo "$list" | grep -q '^loop (in 0, out 2)' || fail "no loop sink in: $list"
echo "$list" | grep -q '^loop\.monitor (in 2, out 0)  Monitor of ' || fail "no monitor in: $list"
printf 'quit\n' > "$home/s"
QT_QPA_PLATFORM=offscreen timeout 60 "$q" --output-device LOOP --input-device "monitor of" \
    --script "$home/s" || fail "choosing devices: status $?"
[ "$(cat "$home/Qelvarfiles/wavdevices")" = "$(printf '"LOOP"\r\n"monitor of"\r')" ] ||
    fail "choice not remembered"
timeout 60 "$q" --input-device "no such card" >/dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown device was not refused with status 2"
finish
