#!/bin/sh
# The sound server (a private one of its own) quits or hangs mid-sweep: the
# program keeps answering its script and ends the sweep without a crash.
#   sound-server-lost.sh scripts/{pulse,pipewire}-private QELVAR
set -u
serverctl=$1
qelvar=$2
server=$(basename "$serverctl" -private)
work=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-soundlost.XXXXXX")
runtime="$work/runtime" home="$work/home"
fail() {
    [ -n "${frozen:-}" ] && kill -CONT $frozen
    "$serverctl" stop "$runtime" >/dev/null 2>&1
    echo "sound-server-lost ($server): $*"
    echo "--- stdout"; cat "$work/stdout" 2>/dev/null
    echo "--- stderr"; tail -20 "$work/stderr" 2>/dev/null
    echo "--- kept at $work"
    exit 1
}
export XDG_RUNTIME_DIR="$runtime" PULSE_SERVER="unix:$runtime/pulse/native" HOME="$home"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
unset PULSE_COOKIE

# The server is lost when "page.Status=" appears, 1.5 s into the sweep (the
# first wait lets the sound layer find the loopback's round trip).
{
    printf '%s\n' "click panel.Label21" "wait 2500" "click page.AutobuildAll" \
        "click page.FullDuplex" "click page.Play" "wait 1500" "print page.Status"
    for i in 1 2 3 4 5 6; do printf 'wait 500\nprint page.Freq(%s)\n' $i; done
    echo "wait 5000"
    for r in $(seq 1 20); do printf 'print page.Left(%s)\nprint page.Right(%s)\n' $r $r; done
    printf '%s\n' "colour page.PlayLamp" "print panel.Status" "click page.Stop" "click page.Play" \
        "wait 500" "click page.Stop" "click panel.Label16" "click panel.Label17" \
        "print page.Freq(0)" quit
} > "$work/script"

# MODE "exit" stops the server, "hang" freezes every process of it
# (SIGSTOP): it keeps its socket but no longer answers.
sweep() {
    mode=$1
    rm -rf "$home" && mkdir -p "$home"
    "$serverctl" start "$runtime" > "$work/pulse.out" 2>&1 ||
        fail "no private sound server: $(cat "$work/pulse.out")"
    timeout 60 "$qelvar" --script "$work/script" > "$work/stdout" 2> "$work/stderr" &
    app=$!
    i=0
    until grep -q '^page.Status=' "$work/stdout" 2>/dev/null; do
        i=$((i + 1))
        [ $i -le 300 ] || { kill $app; fail "$mode: the sweep never got going"; }
        sleep 0.1
    done
    if [ "$mode" = hang ]; then
        frozen=$(cut -d' ' -f1 "$runtime/server.pids" | tr '\n' ' ')
        [ -n "$frozen" ] || { kill $app; fail "$mode: no server process ids"; }
        kill -STOP $frozen
    else
        "$serverctl" stop "$runtime" > /dev/null 2>&1
    fi
    wait $app
    rc=$?
    [ $rc -eq 0 ] || fail "$mode: exit status $rc"
    # 1 + 6 + 40 + 2 + 1 lines: every command after the loss was answered.
    [ "$(wc -l < "$work/stdout")" -eq 50 ] || fail "$mode: not every command was answered"
    [ "$(grep -c '^page.Freq(' "$work/stdout")" -eq 7 ] || fail "$mode: boxes not printed"
    grep -q '^page.Freq(0)=20$' "$work/stdout" || fail "$mode: last box"
    # The sweep came to its end and the panel says what became of the sound.
    grep -q '^page.PlayLamp=0x808000$' "$work/stdout" || fail "$mode: the sweep did not end"
    # A server frozen while the device was still opening never answered at all.
    words='stopped'; [ "$mode" = hang ] && words='(stopped|not answering)'
    grep -Eq "^panel.Status=Sound device $words\$" "$work/stdout" || fail "$mode: no status"
    [ -n "$frozen" ] && kill -CONT $frozen; frozen=
    "$serverctl" stop "$runtime" > /dev/null 2>&1
    echo "sound-server-lost ($server, $mode): passed"
}

frozen=
sweep exit
sweep hang
rm -rf "$work"
