#!/bin/sh
# Through the private sound server: the devices are listed, a choice by
# part of a name is accepted and remembered for the next start.
set -u
q=$1
home=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-cli.XXXXXX")
export HOME="$home"
status=0
fail() { echo "FAIL: $*"; status=1; }
list=$(timeout 60 "$q" --list-devices) || fail "--list-devices status"
echo "$list" | grep -q '^pulse (in [1-9][0-9]*, out [1-9][0-9]*)$' || fail "list was: $list"
printf 'quit\n' > "$home/s"
QT_QPA_PLATFORM=offscreen timeout 60 "$q" --output-device PULS --input-device pul --script "$home/s" \
    || fail "choosing devices: status $?"
[ "$(cat "$home/Qelvarfiles/wavdevices")" = "$(printf '"PULS"\r\n"pul"\r')" ] || fail "choice not remembered"
rm -rf "$home"
exit $status
