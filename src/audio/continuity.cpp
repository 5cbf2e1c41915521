#include "audio/continuity.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace qelvar::audio {
namespace {

bool same(std::uint64_t a, std::uint64_t b) {
    using R = FrameRing;
    const auto near = [](std::int32_t x, std::int32_t y) {
        return std::llabs(std::int64_t{x} - y) <= ContinuityMonitor::kSame;
    };
    return near(R::left(a), R::left(b)) && near(R::right(a), R::right(b));
}

constexpr std::size_t kMaxBreaks = 1024;
constexpr std::size_t kKept = 4096; // stretches: 47 s

} // namespace

void ContinuityMonitor::restart(std::int64_t lag, std::int64_t from) {
    // What was read from there on was read at another round trip.
    while (!breaks_.empty() && breaks_.back() >= from)
        breaks_.pop_back();
    while (!measured_.empty() && measured_.back().at >= from)
        measured_.pop_back();
    lag_ = lag;
    next_ = from;
    judged_ = from;
    verified_ = from;
    blankNext_ = from;
    blankStart_ = -1;
    heard_ = false;
    period_ = 0;
    pending_.reset();
    before_ = -1;
    settle_.reset();
}

bool ContinuityMonitor::repeats(std::int64_t from, std::int64_t to, std::int64_t period) const {
    return firstChange(from, to, period) == to;
}

std::int64_t ContinuityMonitor::firstChange(std::int64_t from, std::int64_t to,
                                            std::int64_t period) const {
    for (std::int64_t n = from; n < to; ++n)
        if (!same(out_.load(n), out_.load(n - period)))
            return n;
    return to;
}

bool ContinuityMonitor::quiet(std::int64_t from, std::int64_t to) const {
    const std::int64_t top = std::int64_t{kQuiet} << 16;
    for (std::int64_t n = from; n < to; ++n) {
        const std::uint64_t f = out_.load(n);
        if (std::llabs(FrameRing::left(f)) > top || std::llabs(FrameRing::right(f)) > top)
            return false;
    }
    return true;
}

// The period of the sound that starts at output frame `from`: the
// shortest one the output keeps for a stretch after its first period.
// False while the output needed to tell has not been written.
bool ContinuityMonitor::findSound(std::int64_t from) {
    if (out_.written() < from + kMaxPeriod + kStretch)
        return false;
    period_ = 0;
    for (std::int64_t p = 1; p <= kMaxPeriod; ++p)
        if (repeats(from + p, from + p + kStretch, p)) {
            period_ = p;
            break;
        }
    soundStart_ = from;
    return true;
}

ContinuityMonitor::Stretch ContinuityMonitor::measure(std::int64_t at) const {
    double diff = 0, energy = 0;
    for (std::int64_t n = at; n < at + kStretch; ++n) {
        const double d = difference(n);
        const std::uint64_t a = in_.load(n + lag_), b = in_.load(n + lag_ - period_);
        for (const std::int32_t x :
             {FrameRing::left(a), FrameRing::right(a), FrameRing::left(b), FrameRing::right(b)})
            energy += (x / 65536.0) * (x / 65536.0);
        diff += d;
    }
    return {at, energy > 0 ? diff / energy : 0, diff, energy / static_cast<double>(4 * kStretch)};
}

// The energy of in[n] - in[n - P], both channels, in 16-bit steps.
double ContinuityMonitor::difference(std::int64_t n) const {
    const std::uint64_t a = in_.load(n + lag_), b = in_.load(n + lag_ - period_);
    const double dl = (FrameRing::left(a) - static_cast<double>(FrameRing::left(b))) / 65536.0;
    const double dr = (FrameRing::right(a) - static_cast<double>(FrameRing::right(b))) / 65536.0;
    return dl * dl + dr * dr;
}

// Where a broken stretch broke off: its first frame whose difference
// stands out against the stretch's mean (early rather than late where
// noise is near it, so a take is cut before the fault, not after).
std::int64_t ContinuityMonitor::breakPoint(const Stretch& s) const {
    const double mean = s.diff / static_cast<double>(kStretch);
    for (std::int64_t n = s.at; n < s.at + kStretch; ++n)
        if (difference(n) > 0.25 * mean)
            return n;
    return s.at;
}

void ContinuityMonitor::noteBreak(std::int64_t at) {
    const auto it = std::lower_bound(breaks_.begin(), breaks_.end(), at);
    if (it != breaks_.end() && *it == at)
        return;
    breaks_.insert(it, at);
    ++count_;
    if (breaks_.size() > kMaxBreaks)
        breaks_.pop_front();
}

// Runs of input frames that are nothing at all while the output plays.
void ContinuityMonitor::findBlanks() {
    const std::int64_t top = std::int64_t{kQuiet} << 16;
    const std::int64_t end = std::min(in_.written() - lag_, out_.written());
    blankNext_ = std::max(blankNext_, std::max(out_.oldest(), in_.oldest() - lag_));
    for (; blankNext_ < end; ++blankNext_) {
        if (in_.load(blankNext_ + lag_) != 0) {
            blankStart_ = -1;
            heard_ = true;
            continue;
        }
        // An input that was never heard is dead, not blanked.
        if (!heard_)
            continue;
        if (blankStart_ < 0)
            blankStart_ = blankNext_;
        if (blankNext_ - blankStart_ + 1 != kBlank)
            continue;
        for (std::int64_t n = blankStart_; n <= blankNext_; ++n) {
            const std::uint64_t f = out_.load(n);
            if (std::llabs(FrameRing::left(f)) > top || std::llabs(FrameRing::right(f)) > top) {
                noteBreak(blankStart_);
                break;
            }
        }
    }
}

// A stretch breaks when its mismatch stands far above the lower of its
// neighbours' (a settling path's mismatch only falls; noise is even), or,
// with neither neighbour, never.
void ContinuityMonitor::decide(const Stretch& s, double before, double after) {
    double base = -1;
    if (before >= 0 && after >= 0)
        base = std::min(before, after);
    else
        base = std::max(before, after);
    if (base < 0 || s.mismatch <= std::max(kFloor, kFactor * base))
        return;
    const std::int64_t at = breakPoint(s);
    if (abrupt(at))
        noteBreak(at);
}

// Frames that broke off start a difference at once; a path still settling
// (a card's AC coupling rings for a tenth of a second) changes it slowly.
bool ContinuityMonitor::abrupt(std::int64_t at) const {
    double before = 0, after = 0;
    for (std::int64_t k = 0; k < kEdge; ++k) {
        before += difference(at - kEdge + k);
        after += difference(at + k);
    }
    return after > kSudden * before;
}

void ContinuityMonitor::endSound() {
    if (pending_)
        decide(*pending_, before_, -1);
    pending_.reset();
    before_ = -1;
    period_ = 0;
}

// Looks at the start of the sound being read once the period after it has
// come back (or the sound ended); false while that is still on its way.
bool ContinuityMonitor::checkSettling() {
    const Settling s = *settle_;
    const std::int64_t p = s.period;
    if (out_.written() < s.to + p || in_.written() < s.to + p + lag_)
        return false;
    settle_.reset();
    if (s.from + lag_ < in_.oldest() || s.from < out_.oldest())
        return true;
    // Only where the output itself repeats a period on (a faded start
    // does not), and within the sound.
    const std::int64_t end = firstChange(s.from + p, s.to + p, p) - p;
    std::int64_t from = s.from;
    for (std::int64_t n = s.from; n < end; ++n)
        if (!same(out_.load(n), out_.load(n + p)))
            from = n + 1;
    from += kSettleMargin;
    if (end - from < 2 * kEdge)
        return true;
    const auto forward = [&](std::int64_t n, double& energy) {
        const std::uint64_t a = in_.load(n + lag_), b = in_.load(n + lag_ + p);
        const double al = FrameRing::left(a) / 65536.0, ar = FrameRing::right(a) / 65536.0;
        const double bl = FrameRing::left(b) / 65536.0, br = FrameRing::right(b) / 65536.0;
        energy = al * al + ar * ar + bl * bl + br * br;
        return (al - bl) * (al - bl) + (ar - br) * (ar - br);
    };
    // Sums over three kEdge-frame windows, [x - 2 kEdge, x), [x - kEdge,
    // x) and [x, x + kEdge), moved on frame by frame.
    const std::int64_t first = from - 2 * kEdge;
    std::vector<double> diff(static_cast<std::size_t>(end - first)), energy(diff.size());
    for (std::size_t i = 0; i < diff.size(); ++i)
        diff[i] = forward(first + static_cast<std::int64_t>(i), energy[i]);
    const auto at = [&](const std::vector<double>& v, std::int64_t n) {
        return v[static_cast<std::size_t>(n - first)];
    };
    double earlier = 0, before = 0, after = 0, power = 0;
    for (std::int64_t k = 0; k < kEdge; ++k) {
        earlier += at(diff, first + k);
        before += at(diff, from - kEdge + k);
        power += at(energy, from - kEdge + k);
        after += at(diff, from + k);
    }
    for (std::int64_t x = from; x + kEdge < end; ++x) {
        // A difference that held on and ends at once; one that dies away
        // (a filter's ringing) falls as steeply before.
        if (before > kFloor * power && before > kSudden * after && 4 * before >= earlier) {
            noteBreak(x);
            return true;
        }
        earlier += at(diff, x - kEdge) - at(diff, x - 2 * kEdge);
        before += at(diff, x) - at(diff, x - kEdge);
        power += at(energy, x) - at(energy, x - kEdge);
        after += at(diff, x + kEdge) - at(diff, x);
    }
    return true;
}

void ContinuityMonitor::advance() {
    if (lag_ < 0)
        return;
    findBlanks();
    if (settle_ && !checkSettling())
        return;
    for (;;) {
        // The ring may have moved on past what is still to be read.
        const std::int64_t oldest =
            std::max(out_.oldest(), in_.oldest() - lag_) + kMaxPeriod + kStretch;
        if (next_ < oldest) {
            endSound();
            next_ = judged_ = verified_ = oldest;
        }
        const std::int64_t end = next_ + kStretch;
        if (in_.written() < end + lag_ || out_.written() < end)
            return;
        // The output repeats from the sound's first period up to `end`?
        const std::int64_t from = std::max(verified_, soundStart_ + period_);
        const std::int64_t change = period_ == 0 ? next_ : firstChange(from, end, period_);
        if (change < end) {
            // A new sound: the one before ends where the output changed.
            if (settle_ && !checkSettling())
                return;
            endSound();
            next_ = judged_ = change;
            if (!findSound(change))
                return;
            if (period_ == 0 || quiet(change, change + kStretch)) {
                period_ = 0;
                next_ = judged_ = change + kStretch; // nothing to judge here
                continue;
            }
            verified_ = change + period_ + kStretch;
            next_ = change + period_ + kSettle;
            settle_ = Settling{change, next_, period_};
            continue;
        }
        verified_ = end;
        if (quiet(next_, end)) {
            endSound();
            next_ = judged_ = verified_ = end;
            continue;
        }
        const Stretch s = measure(next_);
        measured_.push_back(s);
        if (measured_.size() > kKept)
            measured_.pop_front();
        if (pending_) {
            decide(*pending_, before_, s.mismatch);
            before_ = pending_->mismatch;
        }
        pending_ = s;
        judged_ = next_;
        next_ = end;
    }
}

ContinuityMonitor::Likeness ContinuityMonitor::likeness(std::int64_t from, std::int64_t to) const {
    Likeness l;
    for (const Stretch& s : measured_) {
        if (s.at < from || s.at + kStretch > to)
            continue;
        ++l.stretches;
        l.unlike += s.mismatch > 0.5;
        l.power += s.power;
    }
    if (l.stretches > 0)
        l.power /= l.stretches;
    return l;
}

std::optional<std::int64_t> ContinuityMonitor::firstBreak(std::int64_t from,
                                                          std::int64_t to) const {
    const auto it = std::lower_bound(breaks_.begin(), breaks_.end(), from);
    if (it != breaks_.end() && *it < to)
        return *it;
    return std::nullopt;
}

} // namespace qelvar::audio
