#include "audio/recorder.h"

#include "audio/aligner.h"
#include "audio/sound.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace qelvar::audio {
namespace {

// A path may come in double quotes when it holds blanks.
std::string unquoted(std::string p) {
    if (p.size() >= 2 && p.front() == '"' && p.back() == '"')
        return p.substr(1, p.size() - 2);
    return p;
}

} // namespace

long Recorder::command(const std::string& cmd, std::int64_t latency) {
    std::lock_guard lock(m_);
    if (cmd == kOpenCapture)
        return open();
    if (cmd == kCloseAll) {
        mode_ = Mode::Closed;
        return kMciOk;
    }
    const std::string prefix = kSaveCapturePrefix;
    const bool isSave = cmd.rfind(prefix, 0) == 0 && cmd.size() > prefix.size();
    if (!isSave && cmd != kSeekCapture && cmd != kSetCapture && cmd != kRecordCapture &&
        cmd != kStopCapture)
        return kMciErrUnknownCommand;
    if (mode_ == Mode::Closed)
        return kMciErrNotOpen;
    if (cmd == kRecordCapture)
        return record();
    if (cmd == kStopCapture)
        return stop(latency);
    if (isSave)
        return save(unquoted(cmd.substr(prefix.size())), latency);
    return kMciOk; // seek to start and the format: a new take always starts empty at 44100/16/2
}

long Recorder::open() {
    if (mode_ != Mode::Closed)
        return kMciErrDuplicate;
    if (!spool_.reset())
        return kMciErrNoDevice;
    mode_ = Mode::Open;
    start_ = -1;
    awaitSerial_ = -1;
    kept_ = 0;
    return kMciOk;
}

long Recorder::record() {
    if (mode_ == Mode::Recording)
        return kMciOk;
    if (!spool_.reset())
        return kMciErrNoDevice;
    mode_ = Mode::Recording;
    endIn_ = -1;
    kept_ = 0;
    lost_ = false;
    spoolIn_ = -1;
    spooledIn_ = 0;
    settled_ = false;
    lagFound_ = false;
    start_ = -1;
    awaitSerial_ = -1;
    const PlayState s = player_.state();
    const std::int64_t posted = player_.lastPosted();
    if (s.serial < posted) {
        // The sound just asked for hasn't reached the device yet: the take
        // starts with its first frame.
        awaitSerial_ = posted;
        return kMciOk;
    }
    const std::int64_t now = ring_.written();
    start_ = alignedStart(now, s.start, s.loopFrames, kMaxBack);
    startSerial_ = s.serial;
    loopFrames_ = s.loopFrames;
    aligned_ = s.loopFrames > 0 && start_ >= s.start && (start_ - s.start) % s.loopFrames == 0;
    return kMciOk;
}

void Recorder::resolveStart() {
    if (awaitSerial_ < 0)
        return;
    const PlayState s = player_.state();
    if (s.serial < awaitSerial_)
        return;
    start_ = s.start;
    startSerial_ = s.serial;
    loopFrames_ = s.loopFrames;
    aligned_ = s.loopFrames > 0;
    awaitSerial_ = -1;
}

long Recorder::stop(std::int64_t latency) {
    if (mode_ != Mode::Recording)
        return kMciOk;
    mode_ = Mode::Stopped;
    resolveStart();
    stopAt_ = ring_.written();
    stopTime_ = std::chrono::steady_clock::now();
    stopPlay_ = player_.state();
    settled_ = false;
    lag_ = expectedLag(latency);
    finish(lag_); // what has come back so far; save waits for the rest
    return kMciOk;
}

std::int64_t Recorder::expectedLag(std::int64_t latency) const {
    return tracked_ >= 0 ? tracked_ : latency;
}

void Recorder::finish(std::int64_t lag) {
    if (start_ < 0) {
        kept_ = 0;
        endIn_ = stopAt_;
        return;
    }
    // The take ends at the output frame where it was stopped, or with the
    // last frame back from the device if that is earlier, and before a
    // sound that replaced the recorded one.
    std::int64_t end = std::min(stopAt_, ring_.written() - lag);
    if (stopPlay_.serial != startSerial_)
        end = std::min(end, stopPlay_.start);
    if (settled_ && lagFound_ && end > start_)
        end = exactEnd(end, lag);
    std::int64_t frames = std::max<std::int64_t>(0, end - start_);
    // Every step file holds whole cycles, so whole loops of it hold whole
    // cycles too: cutting the take to whole loops removes the part-cycle
    // error of a level read over it, which matters at low frequencies.
    if (aligned_ && stopPlay_.serial <= startSerial_ + 1)
        frames = trimToLoops(frames, loopFrames_);
    kept_ = frames;
    endIn_ = start_ + lag + frames;
}

bool Recorder::awaitInput(std::int64_t frame,
                          std::chrono::steady_clock::time_point deadline) const {
    while (ring_.written() < frame) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

LagMatch Recorder::searchLag(std::int64_t expected,
                             std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        // An exact match can't be bettered: no need to wait for the rest
        // of the range, which the input may not reach in time when the
        // round trip has grown long.
        const LagSearch s = findLag(out_, ring_, start_, expected, kSearch);
        if (s.covered || s.match.corr >= kExact || std::chrono::steady_clock::now() >= deadline)
            return s.match;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void Recorder::settle(std::int64_t latency) {
    settled_ = true;
    lagFound_ = false;
    if (start_ < 0) {
        finish(lag_);
        return;
    }
    const auto deadline = stopTime_ + std::chrono::milliseconds(kSaveWaitMs);
    const std::int64_t expected = expectedLag(latency);
    // The take back at the lag expected; the search waits for more if
    // it has to.
    awaitInput(stopAt_ + expected, deadline);
    LagMatch m = searchLag(expected, deadline);
    const auto timeLeft = [&] { return std::chrono::steady_clock::now() < deadline; };
    if (m.corr < kStrong && timeLeft()) {
        // The round trip may have jumped further than a take's usual
        // drift: look as far as the input allows.
        const LagMatch wide = findLag(out_, ring_, start_, expected, kWideSearch).match;
        if (wide.corr > m.corr)
            m = wide;
    }
    if (m.corr < kStrong && timeLeft()) {
        // Frames around the change of sound were lost on the way: the
        // take starts where the new sound first comes back whole.
        const LagMatch onset = findOnset(out_, ring_, start_, expected, kWideSearch).match;
        if (onset.corr > m.corr)
            m = onset;
    }
    if (m.lag >= 0 && m.corr >= kStrong) {
        lag_ = m.lag;
        lagCorr_ = m.corr;
        lagFound_ = true;
        tracked_ = m.lag;
    } else {
        lag_ = expected; // silence, or no loopback: nothing to match
    }
    awaitInput(stopAt_ + lag_, deadline);
    finish(lag_);
}

bool Recorder::matchesAt(std::int64_t end, std::int64_t lag) const {
    const std::int64_t n = std::min(kCheck, end - start_);
    const auto ref = ringFrames(out_, end - n, n);
    const auto got = ringFrames(ring_, end - n + lag, n);
    if (static_cast<std::int64_t>(ref.size()) != n || static_cast<std::int64_t>(got.size()) != n)
        return false;
    // What no gain explains, against what it was at the take's start: a
    // loud steady part hides a small shift from the correlation itself.
    const double c = correlationAt(ref, got, 0);
    const double residual = 1 - c * c, atStart = 1 - lagCorr_ * lagCorr_;
    return c > 0 && residual <= std::max(4 * atStart, 1e-6);
}

std::int64_t Recorder::exactEnd(std::int64_t end, std::int64_t lag) const {
    if (matchesAt(end, lag))
        return end;
    // Frames were dropped or inserted on the way during the take: keep
    // the part before that, which still lines up.
    std::int64_t good = std::min(end, start_ + kCheck);
    if (!matchesAt(good, lag))
        return start_;
    std::int64_t bad = end;
    while (bad - good > 64) {
        const std::int64_t mid = good + (bad - good) / 2;
        (matchesAt(mid, lag) ? good : bad) = mid;
    }
    return good;
}

long Recorder::save(const std::string& path, std::int64_t latency) {
    if (mode_ == Mode::Recording)
        stop(latency);
    if (mode_ == Mode::Stopped && !settled_)
        settle(latency);
    pumpLocked(latency);
    std::int64_t frames = 0, skip = 0;
    if (mode_ == Mode::Stopped && start_ >= 0 && spoolIn_ >= 0) {
        skip = start_ + lag_ - spoolIn_;
        frames = skip < 0 ? 0 : std::min(kept_, spool_.frames() - skip);
        // Frames lost on the way: keep the exact part, in whole loops.
        if (frames < kept_ && aligned_)
            frames = trimToLoops(frames, loopFrames_);
        kept_ = std::max<std::int64_t>(frames, 0);
    }
    return spool_.save(path, std::max<std::int64_t>(skip, 0), mode_ == Mode::Stopped ? kept_ : 0)
               ? kMciOk
               : kMciErrCannotSave;
}

void Recorder::pump(std::int64_t latency) {
    std::lock_guard lock(m_);
    pumpLocked(latency);
}

void Recorder::pumpLocked(std::int64_t latency) {
    if (mode_ != Mode::Recording && mode_ != Mode::Stopped)
        return;
    resolveStart();
    if (start_ < 0 || spool_.failed() || lost_)
        return;
    if (spoolIn_ < 0) {
        // From as early as the take's round trip may be: its lag is only
        // known on save.
        spoolIn_ = std::max<std::int64_t>(0, start_ + expectedLag(latency) - kSearch);
        spooledIn_ = spoolIn_;
    }
    const std::int64_t from = spooledIn_;
    std::int64_t to = ring_.written();
    if (endIn_ >= 0)
        to = std::min(to, endIn_);
    if (from >= to)
        return;
    const auto buf = ringFrames(ring_, from, to - from);
    if (buf.empty()) {
        lost_ = true; // the worker fell a whole ring behind
        return;
    }
    spool_.append(buf.data(), buf.size());
    spooledIn_ = from + static_cast<std::int64_t>(buf.size());
}

std::int64_t Recorder::keptFrames() const {
    std::lock_guard lock(m_);
    return kept_;
}

bool Recorder::lostFrames() const {
    std::lock_guard lock(m_);
    return lost_;
}

std::int64_t Recorder::takeLag() const {
    std::lock_guard lock(m_);
    return lag_;
}

bool Recorder::takeLagFound() const {
    std::lock_guard lock(m_);
    return lagFound_;
}

} // namespace qelvar::audio
