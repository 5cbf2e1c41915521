#!/bin/sh
# The command line answers without a display or a sound server.
set -u
q=$1
home=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-cli.XXXXXX")
export HOME="$home"
unset DISPLAY WAYLAND_DISPLAY
status=0
fail() { echo "FAIL: $*"; status=1; }
out=$("$q" --version) || fail "--version status"
[ "$out" = "qelvar 0.1.0" ] || fail "--version said '$out'"
"$q" --help | grep -q -- "--output-device" || fail "--help lacks --output-device"
"$q" --bogus >/dev/null 2>&1 && fail "an unknown option was accepted"
err=$("$q" --output-device no-such-card 2>&1 >/dev/null)
rc=$?
[ $rc -eq 2 ] || fail "unknown output device: status $rc"
echo "$err" | grep -q 'no output device matches "no-such-card"' || fail "message was '$err'"
[ ! -e "$home/Qelvarfiles/wavdevices" ] || fail "a rejected choice was remembered"
rm -rf "$home"
exit $status
