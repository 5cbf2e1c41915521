#!/bin/sh
# The sound device goes away and comes back while the program runs: the
# loop sink unloaded and loaded again (a USB card pulled out and plugged
# in), and the whole server stopped and started again. Each time the panel
# says the device stopped, then that it is back, and the next sweep reads
# as the sweep before the loss did, without a restart.
#   sound-device-back.sh scripts/{pulse,pipewire}-private QELVAR
set -u
serverctl=$1
qelvar=$2
server=$(basename "$serverctl" -private)
work=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-deviceback.XXXXXX")
runtime="$work/runtime" home="$work/home"
export XDG_RUNTIME_DIR="$runtime" PULSE_SERVER="unix:$runtime/pulse/native" HOME="$home"
# How each take was placed and judged, shown when the scenario fails.
export QELVAR_TRACE_TAKES=1
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
unset PULSE_COOKIE
status=0
fail() { echo "sound-device-back ($server, ${mode:-}): $*"; status=1; }

# A sweep, then its lamp, its notes and its 40 readings.
sweep() {
    printf '%s\n' "click page.Play" "wait 14000" "colour page.PlayLamp" "print page.MeasureNotes"
    for r in $(seq 1 20); do printf 'print page.Left(%s)\nprint page.Right(%s)\n' "$r" "$r"; done
}
# The driver takes the device away on a gone() line's first status line and
# brings it back on its second; the third says whether it is back.
gone() {
    printf '%s\n' "print panel.Status" "wait 5000" "print panel.Status" "wait 10000" \
        "print panel.Status"
}
# After each return two sweeps (three after the server's: a PipeWire just
# started again has underrun the start of two in a row): the first may be
# spoilt by a timing fault (a loaded machine's server drops frames as the
# streams start again), which its notes must name.
{
    printf '%s\n' "click panel.Label21" "wait 2500" "click page.AutobuildAll" "click page.FullDuplex"
    sweep
    gone # the loop sink
    sweep
    sweep
    gone # the whole server
    sweep
    sweep
    sweep
    echo quit
} > "$work/script"

# waitline N: standard output has N status lines (within 60 s).
waitline() {
    for _ in $(seq 600); do
        [ "$(grep -c '^panel.Status=' "$work/stdout" 2>/dev/null)" -ge "$1" ] && return 0
        kill -0 $app 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

rm -rf "$home" && mkdir -p "$home"
"$serverctl" start "$runtime" > "$work/server.out" 2>&1 ||
    { echo "no private sound server: $(cat "$work/server.out")"; exit 1; }
timeout 200 "$qelvar" --script "$work/script" > "$work/stdout" 2> "$work/stderr" &
app=$!

# The sink: its module unloaded, and loaded again with the same arguments
# (a USB card pulled out and plugged in).
mode=sink
if waitline 1; then
    module=$(pactl list short modules | awk -F'\t' '$2 == "module-null-sink" && $3 ~ /sink_name=loop/')
    [ -n "$module" ] || fail "no loop sink module"
    pactl unload-module "$(echo "$module" | cut -f1)" || fail "the sink could not be unloaded"
    waitline 2 || fail "no second status line"
    # shellcheck disable=SC2046 # the module's arguments, one word each
    pactl load-module module-null-sink $(echo "$module" | cut -f3) > /dev/null &&
        pactl set-default-sink loop && pactl set-default-source loop.monitor ||
        fail "the sink could not be loaded again"
else
    fail "the first sweep never ended"
fi
# The server: stopped and started again.
mode=server
if waitline 4; then
    "$serverctl" stop "$runtime" > /dev/null 2>&1
    waitline 5 || fail "no fifth status line"
    "$serverctl" start "$runtime" > "$work/server.out" 2>&1 ||
        fail "the server did not start again: $(cat "$work/server.out")"
else
    fail "the second sweep never ended"
fi
mode=
wait $app
rc=$?
[ $rc -eq 0 ] || fail "exit status $rc"
"$serverctl" stop "$runtime" > /dev/null 2>&1

out="$work/stdout"
expected="|Sound device stopped|Sound device back||Sound device stopped|Sound device back|"
[ "$(sed -n 's/^panel.Status=//p' "$out" | tr '\n' '|')" = "$expected" ] ||
    fail "status lines: $(grep '^panel.Status=' "$out" | tr '\n' ' ')"
[ "$(grep -c '^page.PlayLamp=0x808000$' "$out")" -eq 6 ] || fail "a sweep did not come to its end"
# The sweeps' notes, one a line. A row a timing fault spoilt is let off
# where the notes name it (in the first sweep too: a busy machine can
# underrun before any loss, and such a row has nothing to compare); any
# other note fails, and so does an unmarked row that reads otherwise than
# before the loss. The first sweep may have at most 5 rows let off, and of
# the sweeps after each return, one must.
sed -n 's/^page.MeasureNotes=//p' "$out" > "$work/notes"
excused=$(awk -F'[.] ' '{
    n[NR] = 0
    for (i = 1; i <= NF; i++) {
        if ($i !~ /frames were lost|was suspended|moved the recording/) { if ($i != "") bad = 1; continue }
        if (!match($i, /^Rows? [0-9]+(-[0-9]+)?/)) { bad = 1; continue }
        split(substr($i, RSTART, RLENGTH), w, /[ -]/)
        last = (w[3] == "" ? w[2] : w[3])
        for (r = w[2]; r <= last; r++) { print NR, r; n[NR]++ }
    }
} END {
    if (bad) print "bad"
    if (n[1] > 5) print "spoilt before the loss"
    if (n[2] > 5 && n[3] > 5) print "spoilt after the sink"
    if (n[4] > 5 && n[5] > 5 && n[6] > 5) print "spoilt after the server"
}' "$work/notes")
case "$excused" in *bad* | *spoilt*) fail "the sweeps have notes: $(cat "$work/notes")" ;; esac
[ -z "$excused" ] || echo "let off for timing faults (sweep, row): $(echo "$excused" | tr '\n' ' ')"
# Every sweep reads every row, and the same (within 0.005 dB: where a
# step's take window falls in the tone moves its reading a little).
grep -E '^page.(Left|Right)\(' "$out" | sed 's/=/ /' > "$work/rows"
differ=$(awk -v off="$(echo "$excused" | tr '\n' ',')" '
              BEGIN { n = split(off, o, ","); for (i = 1; i <= n; i++) let[o[i]] = 1 }
              NR <= 40 && $2 == "" && !(("1 " int((NR + 1) / 2)) in let) {
                  print "sweep 1: " $1 " is empty, and its notes do not say why" }
              NR <= 40 { was[NR] = $2; next }
              { r = (NR - 1) % 40 + 1; sweep = int((NR - 1) / 40) + 1 }
              (sweep " " int((r + 1) / 2)) in let || ("1 " int((r + 1) / 2)) in let { next }
              $2 == "" || (was[r] - $2) ^ 2 > 0.005 ^ 2 {
                  print "sweep " sweep ": " $1 "=" $2 " (before " was[r] ")" }' \
    "$work/rows")
[ "$(wc -l < "$work/rows")" -eq 240 ] && [ -z "$differ" ] ||
    fail "a sweep after the device came back reads otherwise: $differ"

if [ $status -ne 0 ]; then
    echo "--- stdout"; cat "$out"; echo "--- stderr (the lining up, and takes not placed by the path's round trip)"
    grep -E "^lined up|searched|failed|suspect" "$work/stderr" | head -80
    grep -vE "^lined up|^take " "$work/stderr" | tail -20
else
    echo "sound-device-back ($server): passed"
    rm -rf "$work"
fi
exit $status
