#!/bin/sh
# qelvar --report through card-like paths (scripts/card-path) on the private
# PulseAudio server: nothing is lost on the way, so every run gives its
# figures in one play (exit 0, "takes": 1) and never says frames were lost;
# the 1 kHz level, THD and THD+N agree with the same plugins run offline
# over a -3 dBFS 1 kHz tone, read by numpy (tone_truth.py): the level within
# 0.02 dB, THD and THD+N within 0.5 dB where the truth lies above -100 dB.
#   report-card-paths.sh QELVAR
set -u
q=$1
here=$(cd "$(dirname "$0")" && pwd)
paths="$here/../../scripts/card-path"
[ "${QELVAR_TEST_SERVER:-}" = pulse ] || { echo "card paths run on the private PulseAudio only"; exit 77; }
/usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "no numpy"; exit 77; }
tag=cardrep
. "$here/../support/testlib.sh"
trap '"$paths" unload >/dev/null 2>&1; rm -rf "$work"' EXIT
figure() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

sox -D -r 44100 -c 2 -n -b 24 "$work/tone.wav" synth 3 sine 1000 vol -3dB
sox "$work/tone.wav" -t f32 "$work/tone.f32"
printf '%-6s %5s %6s %10s %10s %9s %9s %9s %9s %9s\n' path exit plays level truth thd truth thd+n truth imd_smpte
# Every path with QELVAR_ALL_CARD_PATHS=1 (4 minutes); otherwise a filter,
# a card's AC coupling, clipping and noise (the sweep tests take every path).
all="lp2k lp8k rc2k rc15k ac bump thd40 thd60 thd80 clip h3 half vol60 card noise"
some="lp2k ac clip noise"
[ "${QELVAR_ALL_CARD_PATHS:-0}" = 1 ] && some=$all
for p in $some; do
    "$paths" have "$p" || { echo "$p: plugins missing, left out"; continue; }
    "$paths" load "$p" >/dev/null || { fail "$p: could not be loaded"; continue; }
    out="$work/$p.out"
    mkdir -p "$work/$p"
    "$q" --report "$work/$p" >"$out" 2>&1
    rc=$?
    "$paths" unload >/dev/null
    "$paths" truth "$p" "$work/tone.wav" "$work/$p.wav" || { fail "$p: no offline truth"; continue; }
    sox "$work/$p.wav" -t f32 "$work/$p.f32"
    set -- $(/usr/bin/python3 "$here/tone_truth.py" "$work/tone.f32" "$work/$p.f32")
    tl=$1 tthd=$2 tthdn=$3
    plays=$(/usr/bin/python3 -c "import json; print(json.load(open('$work/$p/report.json'))['conditions']['takes'])" 2>/dev/null)
    level=$(figure level_1k_left_db "$out")
    thd=$(figure thd_1k_left_db "$out")
    thdn=$(figure thdn_1k_left_db "$out")
    printf '%-6s %5s %6s %10s %10s %9s %9s %9s %9s %9s\n' "$p" "$rc" "${plays:--}" "${level:--}" "$tl" \
        "${thd:--}" "$tthd" "${thdn:--}" "$tthdn" "$(figure imd_smpte_left_db "$out")"
    grep -q "frames were lost" "$out" && fail "$p: says frames were lost"
    [ "$rc" -le 1 ] || { fail "$p: exit $rc: $(tail -1 "$out")"; continue; }
    [ "$plays" = 1 ] || fail "$p: $plays plays"
    near "$level" "$tl" 0.02 || fail "$p: level $level, truth $tl"
    # The noise's own THD and THD+N are statistical; so are the AC
    # coupling's: its float arithmetic (a pole 1e-4 from 1) adds noise of
    # its own near -70 dB that differs with the signal's history (-68 dB
    # over the tone here, -72 dB over a resampled one).
    case "$p" in noise | ac) continue ;; esac
    for check in "thd $thd $tthd 0.5" "thd+n $thdn $tthdn 0.5"; do
        set -- $check
        awk -v t="$3" 'BEGIN { exit !(t > -100) }' || continue
        near "$2" "$3" "$4" || fail "$p: $1 $2, truth $3"
    done
done
exit $status
