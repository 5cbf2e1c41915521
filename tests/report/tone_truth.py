#!/usr/bin/python3
# The truth of a card path at 1 kHz, by numpy alone: the level (against what
# was played), THD (harmonics 2 to 10) and THD+N (20 Hz to 20 kHz) of the
# left channel of OUT, a -3 dBFS 1 kHz tone IN run offline through the path.
# One second from the middle: every component sits on a 1 Hz bin.
#   tone_truth.py IN.f32 OUT.f32   (raw stereo float32 at 44100 Hz)
import sys

import numpy as np

RATE = 44100


def left_second(path):
    x = np.fromfile(path, dtype=np.float32).reshape(-1, 2)[:, 0].astype(np.float64)
    mid = len(x) // 2
    return x[mid - RATE // 2: mid + RATE // 2]


def figures(x):
    p = np.abs(np.fft.rfft(x)) ** 2
    band = np.arange(20, 20001)
    fund = p[1000]
    harm = sum(p[h * 1000] for h in range(2, 11) if h * 1000 <= 20000)
    resid = p[band[band != 1000]].sum()
    return fund, 10 * np.log10(harm / fund), 10 * np.log10(resid / fund)


played, _, _ = figures(left_second(sys.argv[1]))
fund, thd, thdn = figures(left_second(sys.argv[2]))
print("%.4f %.3f %.3f" % (10 * np.log10(fund / played), thd, thdn))
