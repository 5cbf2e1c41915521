#!/bin/sh
# qelvar --check on the private loopback, with each set-up fault a user
# makes put in its way and taken out again: the words it prints and its
# exit status (1 with a set-up warning, 0 without). The clean loopback
# gets no warning, only the note that its input is the output's monitor.
# And --report lists the warnings in report.json.
#   setup-check.sh QELVAR
set -u
q=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-check.XXXXXX")
export HOME="$work" LADSPA_PATH=/usr/lib/ladspa
status=0
fail() { echo "FAIL: $*"; status=1; }
modules=""
load() { m=$(pactl load-module "$@") && modules="$m $modules"; }
# The loopback as the fixture left it.
restore() {
    pkill -f "pacat -d loop --client-name=qelvar-check-${QELVAR_TEST_SERVER:-}" 2>/dev/null
    for m in $modules; do pactl unload-module "$m" 2>/dev/null; done
    modules=""
    # PipeWire takes an unloaded module's nodes down a little later: until
    # then the next case's "qcheck" could name the last one's device.
    for _ in $(seq 50); do
        pactl list short sinks 2>/dev/null | cut -f2 | grep -q '^qcheck$' ||
            pactl list short sources 2>/dev/null | cut -f2 | grep -q '^qcheck$' || break
        sleep 0.1
    done
    pactl set-default-sink loop
    pactl set-default-source loop.monitor
    pactl set-sink-volume loop 100%
    pactl set-sink-mute loop 0
    pactl set-source-volume loop.monitor 100%
    pactl set-source-mute loop.monitor 0
}
trap restore EXIT

# check NAME STATUS WORDS...: --check says each of WORDS (a set-up warning
# unless it begins "note:") and exits with STATUS.
check() {
    name=$1 want=$2
    shift 2
    "$q" --check > "$work/$name.out" 2> "$work/$name.err"
    rc=$?
    [ "$rc" -eq "$want" ] || fail "$name: status $rc, not $want"
    for words in "$@"; do
        case "$words" in
        note:*) grep -qF "$words" "$work/$name.out" ;;
        *) grep -F "set-up warning: " "$work/$name.out" | grep -qF "$words" ;;
        esac || fail "$name: not said: $words"
    done
    [ $status -eq 0 ] || {
        cat "$work/$name.out" "$work/$name.err"
        pactl list short sinks
        pactl list short modules | grep -v "module-native-protocol\|module-always"
    }
    restore
}
monitor="note: the input \"Monitor of"

check clean 0 "$monitor"
[ "$(grep -c . "$work/clean.out")" -eq 1 ] || fail "the clean loopback: more than the note"

pactl set-sink-volume loop 60%
check sink-60 1 "is at 60 % (-13.3 dB), and every figure includes it; set it to 100 % (0 dB)"
pactl set-sink-volume loop 150%
check sink-150 1 "is at 150 % (10.6 dB)" "input peaks at 0.0 dBFS with the 1 kHz tone at -3 dBFS"
pactl set-source-volume loop.monitor 60%
check source-60 1 "the input \"Monitor of" "is at 60 % (-13.3 dB)"
pactl set-source-volume loop.monitor 150%
check source-150 1 "is at 150 % (10.6 dB)" "input peaks at 0.0 dBFS"
pactl set-sink-mute loop 1
check muted 1 "is muted: nothing played comes back; unmute it"

load module-ladspa-sink sink_name=qcheck sink_master=loop plugin=amp label=amp_mono control=1 &&
    pactl set-default-sink qcheck
check ladspa 1 "is a LADSPA effects sink between the program and"
# An inverting plugin: both channels upside down read as well as a wire
# (a note, not a warning: many cards invert).
load module-ladspa-sink sink_name=qcheck sink_master=loop plugin=inv_1429 label=inv &&
    pactl set-default-sink qcheck
check inverted 1 "is a LADSPA effects sink" "note: both channels come back inverted"
load module-remap-sink sink_name=qcheck master=loop channels=2 \
    master_channel_map=front-right,front-left channel_map=front-left,front-right remix=no &&
    pactl set-default-sink qcheck
check swapped 1 "is a channel-remapping sink" "the channels are swapped"
# Both channels carrying one sound, made by a mono sink upmixed to the
# loop. (A remapped mono source does the same, but PipeWire without
# realtime scheduling delivers such a source's input seconds late on a
# loaded machine, and the check then rightly says it could not read it.)
load module-remap-sink sink_name=qcheck master=loop channels=1 channel_map=mono &&
    pactl set-default-sink qcheck
check mono 1 "the input carries the same sound on both channels"
load module-remap-sink sink_name=qcheck master=loop channels=1 master_channel_map=front-left \
    channel_map=mono remix=no && pactl set-default-sink qcheck
check dropped 1 "nothing of the 1 kHz tone came back on the right input channel"
load module-null-sink sink_name=qother && pactl set-default-source qother.monitor
check other-monitor 1 "which the program does not play to, so nothing played comes back"

# Hum and DC mixed into the sink beside the program.
beside() {
    sox -n -r 44100 -c 2 -b 16 -t wav - synth 30 "$@" 2>/dev/null |
        pacat -d loop --client-name=qelvar-check-${QELVAR_TEST_SERVER:-} &
    # Until the server plays it (a loaded machine takes its time).
    for _ in $(seq 50); do
        pactl list sink-inputs 2>/dev/null | grep -q "qelvar-check-${QELVAR_TEST_SERVER:-}" && break
        sleep 0.1
    done
    sleep 0.5
}
beside sine 50 vol -60dB
check hum 1 "hum at 50 Hz, -60.0 dBFS, in the left input"
beside sine 0 dcshift 0.01
check dc 1 "the left input has a DC offset of -40.0 dBFS"

pactl set-sink-volume loop 60%
"$q" --report "$work/r" > "$work/report.out" 2>&1
/usr/bin/python3 -c "
import json, sys
r = json.load(open('$work/r/report.json'))
w = r['setup_warnings']
sys.exit(0 if len(w) == 1 and 'is at 60 % (-13.3 dB)' in w[0] and r['setup_notes'] else 1)" ||
    { fail "report.json: no set-up warning of the volume"; cat "$work/report.out"; }
restore

[ $status -eq 0 ] && rm -rf "$work"
exit $status
