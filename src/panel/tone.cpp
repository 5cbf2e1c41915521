#include "panel/tone.h"

#include "common/files.h"
#include "common/numbers.h"

#include <cmath>
#include <vector>

namespace qelvar::panel {

int channelsOf(const std::string& mode) {
    return mode == "MONO" ? 1 : 2;
}

int effectiveBits(int bits) {
    return (bits == 8 || bits == 24) ? bits : 16;
}

Tone::Tone() {
    image.putConstantHeader();
}

void Tone::setFormat(const Memory& m) {
    image.setFormat(channelsOf(m.mode), static_cast<std::uint32_t>(m.rate), effectiveBits(m.bits));
}

void Tone::datalength(const Memory& m) {
    const int bits = effectiveBits(m.bits);
    C = channelsOf(m.mode);
    B = bits / 8;
    n = m.frequency < 1001 ? 1 : 10;
    double x = (1.0 / m.frequency) * n * m.rate * C * (bits / 8.0);
    std::int64_t len = std::isfinite(x) ? roundEven(x) : 0;
    if (bits == 24) {
        for (int i = 0; i < 6; ++i)
            if (len % 6 != 0)
                len += 1;
    } else {
        for (int i = 0; i < 4; ++i)
            if (len % 4 != 0)
                len -= 1;
    }
    // Only a hand-edited set-up file can ask for a length outside the
    // buffer (or none at all); keep whole frames that fit.
    const std::int64_t block = C * B;
    const std::int64_t maxLen = ((static_cast<std::int64_t>(kLastElement) - 44) / 12) * 12;
    if (len < block)
        len = block;
    if (len > maxLen)
        len = maxLen;
    len -= len % block;
    L = len;
    image.setDataLength(static_cast<std::uint32_t>(L));
}

void Tone::rifflength() {
    image.setRiffLength(static_cast<std::uint32_t>(L));
}

void Tone::byterate(const Memory& m) {
    image.setByteRate(static_cast<std::uint32_t>(m.rate) * static_cast<std::uint32_t>(C * B));
}

void Tone::blockalign(const Memory&) {
    image.setBlockAlign(C * B);
}

void Tone::datacalc(const Memory& m) {
    N = static_cast<double>(L) / (C * B * n);
    const double w = kFullTurn / N;
    F = L / (C * B);
    const bool known = m.mode == "MONO" || m.mode == "ST L" || m.mode == "ST R" ||
                       m.mode == "ST L+R" || m.mode == "ST L-R";
    auto put = [&](std::size_t k, double s, double g) {
        switch (B) {
        case 1:
            image[k] = wav::encode8(s, g);
            break;
        case 2:
            image.put(k, wav::encode16(s, g));
            break;
        default:
            image.put(k, wav::encode24(s, g));
            break;
        }
    };
    for (std::int64_t k = 1; k <= F; ++k) {
        const double theta = static_cast<double>(k - 1) * w;
        const double s = std::sin(theta);
        const double sInv = std::sin(kHalfTurn + theta);
        const std::size_t first = static_cast<std::size_t>(44 + (k - 1) * C * B + 1);
        const std::size_t second = first + static_cast<std::size_t>(B);
        if (!known) {
            put(first, 0.0, 0.0);
            if (C == 2)
                put(second, 0.0, 0.0);
        } else if (m.mode == "MONO") {
            put(first, s, m.gainL);
        } else if (m.mode == "ST L") {
            put(first, s, m.gainL);
            put(second, 0.0, 0.0);
        } else if (m.mode == "ST R") {
            put(first, 0.0, 0.0);
            put(second, s, m.gainR);
        } else if (m.mode == "ST L+R") {
            put(first, s, m.gainL);
            put(second, s, m.gainR);
        } else {
            put(first, s, m.gainL);
            put(second, sInv, m.gainR);
        }
    }
}

void Tone::compute(const Memory& m) {
    setFormat(m);
    datalength(m);
    rifflength();
    byterate(m);
    blockalign(m);
    datacalc(m);
}

bool Tone::writetofile(const std::string& dir) {
    const std::size_t total = static_cast<std::size_t>(L) + 44;
    bool ok = replaceFile(dir + "/pemtest.wav", image.fileBytes(total));
    if (!writtenOnce_) {
        std::vector<std::uint8_t> silent(total, 0);
        auto header = image.fileBytes(44);
        std::copy(header.begin(), header.end(), silent.begin());
        ok = replaceFile(dir + "/stop.wav", silent) && ok;
        ok = replaceFile(dir + "/wavcself0.wav", silent) && ok;
        writtenOnce_ = true;
    }
    return ok;
}

} // namespace qelvar::panel
