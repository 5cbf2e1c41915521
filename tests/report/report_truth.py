#!/usr/bin/python3
# The report tests' expected values that are not closed form, by numpy alone.
import numpy as np

RATE = 44100


def quantise(x, bits):
    full = 2.0 ** (bits - 1)
    return np.clip(np.rint(x * full), -full, full - 1) / full


def coherent_thd(xq, f0):
    # One second at 1 kHz: every component sits on a 1 Hz bin; a plain DFT is exact.
    p = np.abs(np.fft.rfft(xq)) ** 2
    fund = p[f0]
    band = np.arange(20, 20001)
    resid = p[band[band != f0]].sum()
    harm = sum(p[h * f0] for h in range(2, 11) if h * f0 <= 20000)
    return 10 * np.log10(resid / fund), 10 * np.log10(harm / fund)


n = np.arange(RATE)
w = 2 * np.pi * 1000 * n / RATE
a3 = 10 ** (-3 / 20)
print("16-bit -3 dBFS sine THD+N: %.3f dB" % coherent_thd(quantise(a3 * np.sin(w), 16), 1000)[0])
thdn, thd = coherent_thd(quantise(0.5 * np.sin(w) + 0.5e-3 * np.sin(3 * w), 16), 1000)
print("16-bit 0.5 sine + -60 dB 3rd: THD+N %.3f dB, THD %.3f dB" % (thdn, thd))


def a_weight_power(f):
    f1, f2, f3, f4 = 20.598997, 107.65265, 737.86223, 12194.217
    r = f4**2 * f**4 / ((f**2 + f1**2) * np.sqrt((f**2 + f2**2) * (f**2 + f3**2)) * (f**2 + f4**2))
    return r * r * 10 ** (2.0 / 10)


# White noise of variance s^2 spreads s^2 evenly over 0..22050 Hz.
f = np.linspace(20, 20000, 2_000_001)
gain = np.trapz(a_weight_power(f), f) / 22050
sigma = 1e-3
print("noise s=1e-3: unweighted %.3f dBFS, A-weighted %.3f dBFS"
      % (10 * np.log10(2 * sigma**2 * 19980 / 22050), 10 * np.log10(2 * sigma**2 * gain)))


# The sound-card test's own tones, written x 32767 and read back / 32768.
def take16(x):
    return np.rint(x * 32767) / 32768


print("test tone -3 dBFS THD+N: %.3f dB" % coherent_thd(take16(a3 * np.sin(w)), 1000)[0])
quiet = np.abs(np.fft.rfft(take16(1e-3 * np.sin(w)))) ** 2 * 2 / RATE**2  # mean square a bin
band = np.arange(20, 20001)
band = band[band != 1000]
residual = (quiet[band] * a_weight_power(band.astype(float))).sum()
print("test tone -60 dBFS: A-weighted residual %.3f dBFS (dynamic range %.3f dB)"
      % (10 * np.log10(2 * residual), -10 * np.log10(2 * residual)))
