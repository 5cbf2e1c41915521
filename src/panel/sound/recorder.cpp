#include "panel/sound/recorder.h"

#include "panel/sound/aligner.h"
#include "panel/sound/sound.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace qelvar::sound {
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
    spooledIn_ = 0;
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
    stopPlay_ = player_.state();
    finish(latency);
    return kMciOk;
}

void Recorder::finish(std::int64_t latency) {
    if (start_ < 0) {
        kept_ = 0;
        endIn_ = stopAt_;
        return;
    }
    // The take ends at the output frame where it was stopped, or with the
    // last frame back from the device by now if that is earlier, and
    // before a sound that replaced the recorded one.
    std::int64_t end = std::min(stopAt_, ring_.written() - latency);
    if (stopPlay_.serial != startSerial_)
        end = std::min(end, stopPlay_.start);
    std::int64_t frames = std::max<std::int64_t>(0, end - start_);
    // Every step file holds whole cycles, so whole loops of it hold whole
    // cycles too: cutting the take to whole loops removes the part-cycle
    // error of a level read over it, which matters at low frequencies.
    if (aligned_ && stopPlay_.serial <= startSerial_ + 1)
        frames = trimToLoops(frames, loopFrames_);
    kept_ = frames;
    endIn_ = start_ + latency + frames;
}

void Recorder::awaitShortTake(std::int64_t latency) {
    const std::int64_t enough = loopFrames_ > 0 ? loopFrames_ : kShortTake;
    if (start_ < 0 || kept_ >= enough)
        return;
    // A step shorter than the round trip would leave (nearly) nothing:
    // wait, briefly, for the rest of it to come back.
    for (int i = 0; i < kShortTakeWaitMs && ring_.written() < stopAt_ + latency; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    finish(latency);
}

long Recorder::save(const std::string& path, std::int64_t latency) {
    if (mode_ == Mode::Recording)
        stop(latency);
    if (mode_ == Mode::Stopped)
        awaitShortTake(latency);
    pumpLocked(latency);
    const std::int64_t frames = mode_ == Mode::Stopped ? std::min(kept_, spool_.frames()) : 0;
    return spool_.save(path, frames) ? kMciOk : kMciErrCannotSave;
}

void Recorder::pump(std::int64_t latency) {
    std::lock_guard lock(m_);
    pumpLocked(latency);
}

void Recorder::pumpLocked(std::int64_t latency) {
    if (mode_ != Mode::Recording && mode_ != Mode::Stopped)
        return;
    resolveStart();
    if (start_ < 0 || spool_.failed())
        return;
    std::int64_t from = std::max(spooledIn_, start_ + latency);
    std::int64_t to = ring_.written();
    if (endIn_ >= 0)
        to = std::min(to, endIn_);
    if (from >= to)
        return;
    if (from < ring_.oldest()) {
        lost_ = true; // the worker fell a whole ring behind
        from = ring_.oldest();
    }
    std::vector<std::uint32_t> buf(static_cast<std::size_t>(to - from));
    for (std::int64_t f = from; f < to; ++f)
        buf[static_cast<std::size_t>(f - from)] = ring_.load(f);
    if (from < ring_.oldest())
        lost_ = true; // overwritten while being read
    spool_.append(buf.data(), buf.size());
    spooledIn_ = to;
}

std::int64_t Recorder::keptFrames() const {
    std::lock_guard lock(m_);
    return kept_;
}

bool Recorder::lostFrames() const {
    std::lock_guard lock(m_);
    return lost_;
}

} // namespace qelvar::sound
