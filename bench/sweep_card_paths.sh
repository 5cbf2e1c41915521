#!/bin/sh
# qelvar --sweep through every card-like path (scripts/card-path) on a
# private PulseAudio at 44100, against the truth: the same plugins run
# offline over an impulse (level, phase, group delay) and over a 1 kHz tone
# at the sweep's -6 dBFS (its 2nd and 3rd harmonics), read by numpy. Prints
# a table; not a test (a path's truth at the band's ends is the plugin's,
# some of which no bound fits).
#   PULSE_SERVER=unix:DIR/pulse/native bench/sweep_card_paths.sh QELVAR [PATH...]
set -u
q=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
paths="$here/../scripts/card-path"
work=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-sweeppaths.XXXXXX")
export HOME="$work" LADSPA_PATH=${LADSPA_PATH:-/usr/lib/ladspa}
trap '"$paths" unload >/dev/null 2>&1' EXIT
names=${*:-"ac lp2k lp8k rc2k rc15k hp250 rchp200 bump thd40 thd60 h3 h2 h2q half inv card vol60"}
sox -n -r 44100 -c 2 -b 32 -e signed "$work/zero.wav" trim 0 1
sox -D -n -r 44100 -c 2 -b 32 -e signed "$work/tone.wav" synth 1 sine 1000 vol -6dB
/usr/bin/python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
b = bytearray(open(d + "/zero.wav", "rb").read())
at = b.index(b"data") + 8
b[at:at + 8] = struct.pack("<ii", 2**30, 2**30)
open(d + "/impulse-in.wav", "wb").write(b)
PY
printf '%-8s | %-34s | %-26s | %-26s | %s\n' path "level err max dB (20 Hz-19 kHz)" "phase err max deg" "group delay err max us" "H2 / H3 at 1 kHz (truth)"
for p in $names; do
    "$paths" have "$p" || continue
    "$paths" load "$p" >/dev/null || { echo "$p: would not load"; continue; }
    "$q" --sweep "$work/$p" --length 4 > "$work/$p.out" 2>&1 || { echo "$p: sweep failed"; "$paths" unload >/dev/null; continue; }
    "$paths" unload >/dev/null
    "$paths" truth "$p" "$work/impulse-in.wav" "$work/$p-imp.wav" 2>/dev/null
    "$paths" truth "$p" "$work/tone.wav" "$work/$p-tone.wav" 2>/dev/null
    /usr/bin/python3 - "$work" "$p" <<'PY'
import numpy as np, sys
d, p = sys.argv[1], sys.argv[2]
def pcm(f, scale):
    b = open(f, "rb").read(); at = b.index(b"data") + 8
    return np.frombuffer(b[at:at + (len(b) - at) // 8 * 8], dtype="<i4")[0::2] / scale
h = pcm(d + "/" + p + "-imp.wav", 2.0**30)
H = np.fft.rfft(h); f = np.fft.rfftfreq(len(h), 1 / 44100)
ph = np.unwrap(np.angle(H)); gd = -np.gradient(ph, 2 * np.pi * f)
rows = [l.split(",") for l in open(d + "/" + p + "/sweep.csv").read().splitlines()[1:]]
lv = ph_e = gd_e = 0.0
for r in rows:
    hz = float(r[0])
    if hz < 20 or hz > 19000:
        continue
    t_db = 20 * np.log10(np.interp(hz, f, abs(H)))
    lv = max(lv, abs(float(r[1]) - t_db))
    # phase: both unwrapped from 0 Hz; compare modulo whole turns
    dp = (float(r[2]) - np.degrees(np.interp(hz, f, ph)) + 180) % 360 - 180
    ph_e = max(ph_e, abs(dp))
    if hz >= 100:
        gd_e = max(gd_e, abs(float(r[3]) / 1000 - np.interp(hz, f, gd)) * 1e6)
x = pcm(d + "/" + p + "-tone.wav", 2.0**31)[4410:4410 + 40000]
w = np.blackman(len(x)); X = abs(np.fft.rfft(x * w)); k = int(round(1000 * len(x) / 44100))
lobe = lambda c: np.sqrt(np.sum(X[c - 3:c + 4] ** 2))
t2, t3 = (20 * np.log10(lobe(n * k) / lobe(k) + 1e-12) for n in (2, 3))
r1k = min(rows, key=lambda r: abs(float(r[0]) - 1000))
print("%-8s | %34.4f | %26.3f | %26.2f | %s / %s (%.1f / %.1f)" % (p, lv, ph_e, gd_e, r1k[4], r1k[5], t2, t3))
PY
done
rm -rf "$work"
