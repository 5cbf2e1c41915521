// Welch-averaged spectra for the noise tests: power spectra of one signal
// and transfer functions between an input and an output, Hann-windowed
// segments with half overlap.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <utility>
#include <vector>

namespace spectrum {

using cplx = std::complex<double>;

// In-place radix-2 FFT; the size must be a power of two.
inline void fft(std::vector<cplx>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        double ang = -2.0 * std::numbers::pi / static_cast<double>(len);
        cplx wl(std::cos(ang), std::sin(ang));
        for (std::size_t i = 0; i < n; i += len) {
            cplx w(1.0, 0.0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                cplx u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

struct Cross {
    std::vector<double> sxx; // input power per bin
    std::vector<double> syy; // output power per bin
    std::vector<cplx> sxy;   // conj(X)·Y per bin
};

// Sums over Welch segments of x and y (equal lengths).
inline Cross welch(const std::vector<double>& x, const std::vector<double>& y, std::size_t nfft) {
    Cross c{std::vector<double>(nfft / 2 + 1), std::vector<double>(nfft / 2 + 1),
            std::vector<cplx>(nfft / 2 + 1)};
    std::vector<double> win(nfft);
    for (std::size_t i = 0; i < nfft; ++i)
        win[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                      static_cast<double>(nfft));
    std::vector<cplx> X(nfft), Y(nfft);
    for (std::size_t start = 0; start + nfft <= x.size(); start += nfft / 2) {
        for (std::size_t i = 0; i < nfft; ++i) {
            X[i] = x[start + i] * win[i];
            Y[i] = y[start + i] * win[i];
        }
        fft(X);
        fft(Y);
        for (std::size_t k = 0; k <= nfft / 2; ++k) {
            c.sxx[k] += std::norm(X[k]);
            c.syy[k] += std::norm(Y[k]);
            c.sxy[k] += std::conj(X[k]) * Y[k];
        }
    }
    return c;
}

inline std::size_t bin(double hz, std::size_t nfft, double rate = 44100.0) {
    return static_cast<std::size_t>(std::lround(hz * static_cast<double>(nfft) / rate));
}

// Mean power per bin over [lo, hi) Hz.
inline double bandPower(const std::vector<double>& p, double lo, double hi, std::size_t nfft) {
    std::size_t a = bin(lo, nfft), b = std::min(bin(hi, nfft), p.size() - 1);
    double sum = 0.0;
    for (std::size_t k = a; k < b; ++k)
        sum += p[k];
    return sum / static_cast<double>(b - a);
}

// Adds another measurement's sums (same nfft).
inline void accumulate(Cross& into, const Cross& c) {
    for (std::size_t k = 0; k < into.sxx.size(); ++k) {
        into.sxx[k] += c.sxx[k];
        into.syy[k] += c.syy[k];
        into.sxy[k] += c.sxy[k];
    }
}

// Transfer magnitude in dB at a frequency, H1 = Sxy / Sxx summed over the
// bins within ±4 % of it (at least one either side).
inline double gainAtBin(const Cross& c, std::size_t k) {
    std::size_t half = std::max<std::size_t>(1, static_cast<std::size_t>(0.04 * k));
    cplx sxy = 0.0;
    double sxx = 0.0;
    for (std::size_t j = k - half; j <= k + half; ++j) {
        sxy += c.sxy[j];
        sxx += c.sxx[j];
    }
    return 20.0 * std::log10(std::abs(sxy) / sxx);
}

inline double gainDb(const Cross& c, double hz, std::size_t nfft) {
    return gainAtBin(c, bin(hz, nfft));
}

// Change of gain over the octave from the bin nearest hz to the bin twice
// as high (an exact octave, whatever the bin spacing).
inline double octaveDb(const Cross& c, double hz, std::size_t nfft) {
    std::size_t k = bin(hz, nfft);
    return gainAtBin(c, 2 * k) - gainAtBin(c, k);
}

inline double db(double power) {
    return 10.0 * std::log10(power);
}

} // namespace spectrum
