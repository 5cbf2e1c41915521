#!/bin/sh
# qelvar --sweep on the private loopback: exit 0 and its three files; the
# impulse one sample at the round trip (on PipeWire the rate converters
# band-limit it: its peak stays at the round trip, about 0.95 high), the
# level flat at 0 dB, no distortion. On PulseAudio also through a card-like path, the resonant
# 2nd-order low-pass at 2 kHz (scripts/card-path lp2k), against the truth:
# the same plugin run offline over an impulse, its spectrum read by numpy.
# Limits: the wire holds a tight band (exit 0); the low-pass holds one to
# 2 kHz and fails one to the sweep's end (exit 1), sweep.json saying which.
#   sweep-command.sh QELVAR
set -u
q=$1
here=$(cd "$(dirname "$0")" && pwd)
paths="$here/../../scripts/card-path"
tag=sweep
. "$here/../support/testlib.sh"
trap '"$paths" unload >/dev/null 2>&1' EXIT
# The CSV's column COL at the row nearest HZ.
at() {
    awk -F, -v hz="$2" -v col="$3" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
        { d = $1 - hz; if (d < 0) d = -d; if (best == "" || d < best) { best = d; v = $c } }
        END { print v }' "$1/sweep.csv"
}
sweep() { dir=$1; shift; retried "$dir.out" "$q" --sweep "$dir" "$@"; } # sweep DIR ARGS...

printf 'response_db -0.1 0.1\n' > "$work/tight"
printf 'response_db -3.5 3.5 20 2000\nresponse_db -1 1  # to the end\n' > "$work/to2k"
sweep "$work/wire" --length 1 --averages 2 --limits "$work/tight"
rc=$?
[ $rc -eq 0 ] || { fail "the loopback: status $rc"; cat "$work/wire.out"; }
for f in sweep.csv sweep.json impulse.wav sweep.pdf; do [ -s "$work/wire/$f" ] || fail "$f not written"; done
[ "$(head -c 5 "$work/wire/sweep.pdf")" = "%PDF-" ] || fail "sweep.pdf is not a PDF"
/usr/bin/python3 - "$work/wire" "${QELVAR_TEST_SERVER:-}" <<'PY' || fail "the loopback's figures"
import json, struct, sys
d = sys.argv[1]
least = 0.999 if sys.argv[2] == "pulse" else 0.9
r = json.load(open(d + "/sweep.json"))
ok = r["sweep"]["averages"] == 2 and r["limits"]["passed"]
for ch in ("left", "right"):
    c = r["channels"][ch]
    ok &= abs(c["level_1k_db"]) < 0.01 and c["flatness_db"] < 0.05 and c["thd_1k_db"] < -100
    ok &= least <= c["impulse_peak"] <= 1.001
# The impulse: 32-bit float stereo, its peak at the round trip (frame 0).
b = open(d + "/impulse.wav", "rb").read()
data = b.index(b"data") + 8
left = struct.unpack("<%df" % ((len(b) - data) // 4), b[data:])[0::2]
peak = max(range(len(left)), key=lambda i: abs(left[i]))
ok &= peak == 0
print(json.dumps(r["channels"]["left"]), "impulse peak at frame", peak)
sys.exit(0 if ok else 1)
PY

if [ "${QELVAR_TEST_SERVER:-}" = pulse ] && "$paths" have lp2k; then
    "$paths" load lp2k >/dev/null || fail "lp2k would not load"
    sweep "$work/lp2k" --length 2 --limits "$work/to2k"
    rc=$?
    [ $rc -eq 1 ] || { fail "lp2k: status $rc, not 1 (a limit failed)"; cat "$work/lp2k.out"; }
    grep -q "^limits: response -1 to 1 dB from 20.0 to 19845.0 Hz: FAILED" "$work/lp2k.out" ||
        fail "lp2k: the failed limit not said"
    /usr/bin/python3 -c "
import json, sys
l = json.load(open('$work/lp2k/sweep.json'))['limits']
ok = not l['passed'] and not l['lines'][0]['failed'] and l['lines'][1]['failed']
ok &= l['lines'][1]['left']['lowest_at_hz'] > 15000 and l['lines'][1]['left']['lowest_db'] < -30
sys.exit(0 if ok else 1)" || fail "lp2k: sweep.json's limits"

    sox -n -r 44100 -c 2 -b 32 -e signed "$work/zero.wav" trim 0 1
    /usr/bin/python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
b = bytearray(open(d + "/zero.wav", "rb").read())
data = b.index(b"data") + 8
b[data:data + 8] = struct.pack("<ii", 2**30, 2**30)  # an impulse of half scale
open(d + "/impulse-in.wav", "wb").write(b)
PY
    "$paths" truth lp2k "$work/impulse-in.wav" "$work/impulse-out.wav" || fail "lp2k's truth"
    /usr/bin/python3 - "$work" <<'PY' || fail "lp2k against its truth"
import numpy as np, struct, sys
d = sys.argv[1]
b = open(d + "/impulse-out.wav", "rb").read()
data = b.index(b"data") + 8
h = np.frombuffer(b[data:], dtype="<i4")[0::2] / 2.0**30
H = np.fft.rfft(h)
rows = [l.split(",") for l in open(d + "/lp2k/sweep.csv").read().splitlines()[1:] if l]
worst = 0
for hz in (20, 100, 1000, 2000, 4000, 10000, 19000):
    f, db = min(((float(r[0]), float(r[1])) for r in rows), key=lambda p: abs(p[0] - hz))
    truth = 20 * np.log10(abs(np.interp(f, np.fft.rfftfreq(len(h), 1 / 44100), abs(H))))
    print("lp2k %8.1f Hz: %8.4f dB, truth %8.4f dB" % (f, db, truth))
    worst = max(worst, abs(db - truth))
sys.exit(0 if worst < 0.02 else 1)
PY
    "$paths" unload >/dev/null
fi
finish
