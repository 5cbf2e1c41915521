#!/usr/bin/env python3
"""Measures the default sweep through the running sound server and compares
every row with what a perfect loopback of that row's own step file reads.

    bench/sweep_accuracy.py BINARY [--settle MS] [--label TEXT]

Runs BINARY in script mode on a private data folder: AUTOBUILD ALL FREQS,
FULL DUPLEX, PLAY; polls row 20 every 10 ms to time the sweep; then SET CAL,
USE CAL and a second PLAY. Prints one line of figures (worst error of rows
1-18 and 19-20 in dB, calibrated rows that do not read " 0", time from PLAY
to row 20's reading, the notes line) and, with -v, every row."""
import os, struct, subprocess, sys, tempfile, math, time

def peakread(frames):
    """The page's reading of a capture holding these 16-bit stereo frames:
    frames from file offset 48, F = floor((n - 53) / 4), magnitude
    hi * 255 + lo folded at 32640, 20 log10(mean / 32640) + 5."""
    n = 44 + 4 * len(frames)
    F = (n - 53) // 4 if n >= 57 else 0
    out = []
    for ch in (0, 1):
        s = 0
        for i in range(F):
            v = frames[1 + i][ch] & 0xFFFF
            m = (v >> 8) * 255 + (v & 0xFF)
            s += 65280 - m if m > 32640 else m
        mean = s / F if F else 0
        lvl = 20 * math.log(mean / 32640) / 2.302585 + 5 if mean > 0 else 0
        out.append(0.0 if -0.1 < lvl < 0.1 else lvl)
    return out

def shown(level):
    """A reading box's text: the first 6 characters of the level's Str form
    (a blank before values >= 0, no zero before the point, 15 digits)."""
    t = f'{level:.15g}'
    neg = t.startswith('-')
    t = t.lstrip('-')
    if t.startswith('0.'):
        t = t[1:]
    return (('-' if neg else ' ') + t)[:6]

def step_frames(path):
    b = open(path, 'rb').read()
    size = struct.unpack('<I', b[40:44])[0]
    data = b[44:44 + size]
    return [struct.unpack('<hh', data[i:i + 4]) for i in range(0, len(data) - 3, 4)]

def perfect(path, length_ms):
    loop = step_frames(path)
    want = int(44100 * length_ms / 1000)
    loops = max(1, want // len(loop))
    return peakread(loop * loops)

def main():
    binary = sys.argv[1]
    settle = int(sys.argv[sys.argv.index('--settle') + 1]) if '--settle' in sys.argv else 0
    verbose = '-v' in sys.argv
    home = tempfile.mkdtemp(prefix='qelvar-acc.')
    polls = 800
    lines = ['click panel.Label21', 'click page.AutobuildAll', 'click page.FullDuplex']
    if settle:
        lines.append(f'wait {settle}')
    lines += ['click page.Play', 'print page.Status']
    for _ in range(polls):
        lines += ['wait 10', 'print page.Right(20)']
    lines.append('wait 500')
    rows = range(1, 21)
    lines += [f'print page.Left({r})' for r in rows] + [f'print page.Right({r})' for r in rows]
    lines += ['print page.MeasureNotes', 'click page.SetCal', 'click page.UseCal', 'click page.Play',
              'wait 6000'] + [f'print page.Left({r})' for r in rows] + [f'print page.Right({r})' for r in rows]
    lines += ['print page.MeasureNotes', 'quit']
    script = os.path.join(home, 'script')
    open(script, 'w').write('\n'.join(lines) + '\n')
    env = dict(os.environ, HOME=home, QT_QPA_PLATFORM='offscreen')
    proc = subprocess.Popen([binary, '--script', script], env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    out, stamps = [], []
    for line in proc.stdout:
        out.append(line.rstrip('\n'))
        stamps.append(time.monotonic())
    proc.wait()
    # The line after PLAY marks its moment; the first non-empty poll of row
    # 20 the moment its reading appeared.
    played = stamps[0]
    polled = [l.split('=', 1)[1] for l in out[1:polls + 1]]
    first = next((i for i, v in enumerate(polled) if v.strip()), None)
    rest = out[polls + 1:]
    def vals(block):
        return [dict(l.split('=', 1) for l in block)]
    m1 = dict(l.split('=', 1) for l in rest[:41])
    m2 = dict(l.split('=', 1) for l in rest[41:82])
    data = os.path.join(home, 'Qelvarfiles')
    lengths = [600, 600, 400, 200] + [100] * 16  # the default table
    worst = [0.0, 0.0]
    failed = []
    for r in rows:
        want = perfect(os.path.join(data, f'tessalyf{r}.wav'), lengths[r - 1])
        for ch, name in ((0, 'Left'), (1, 'Right')):
            got = m1[f'page.{name}({r})'].strip()
            if not got:
                failed.append(r)
                continue
            err = abs(float(got) - float(shown(want[ch])))
            worst[0 if r <= 18 else 1] = max(worst[0 if r <= 18 else 1], err)
            if verbose:
                print(f'row {r:2} {name:5} got {got:>7} perfect {shown(want[ch]):>7} error {err:.4f}')
    off = [f'{n[0]}{r}={m2[f"page.{n}({r})"].strip() or "empty"}' for r in rows
           for n in ('Left', 'Right') if m2[f'page.{n}({r})'] != ' 0']
    cal_bad = len(off)
    t = f'{(stamps[first + 1] - played) * 1000:.0f} ms' if first is not None else 'never'
    print(f"rows 1-18 worst {worst[0]:.4f} dB | rows 19-20 worst {worst[1]:.4f} dB | "
          f"calibrated rows not ' 0': {cal_bad} | PLAY to row 20: {t} | failed rows: {sorted(set(failed))}")
    print('notes:', m1.get('page.MeasureNotes', '').strip() or '(none)')
    print('notes after cal:', m2.get('page.MeasureNotes', '').strip() or '(none)')
    if off:
        print('calibrated rows not 0:', ' '.join(off))

main()
