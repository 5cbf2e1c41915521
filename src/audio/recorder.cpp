#include "audio/recorder.h"

#include "audio/aligner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace qelvar::audio {
namespace {

// A path may come in double quotes when it holds blanks.
std::string unquoted(std::string p) {
    if (p.size() >= 2 && p.front() == '"' && p.back() == '"')
        return p.substr(1, p.size() - 2);
    return p;
}

using Clock = std::chrono::steady_clock;

// QELVAR_TRACE_TAKES set: how each take was placed and judged, and each
// lining up, on standard error, to look into a take judged otherwise than
// expected.
const bool kTrace = std::getenv("QELVAR_TRACE_TAKES") != nullptr;

} // namespace

// One take, in output frames unless named "In".
struct Recorder::Take {
    CaptureSpool spool;
    std::int64_t awaitSerial = -1; // start waits for this play request
    std::int64_t start = -1;       // -1 until known
    std::int64_t startSerial = 0;
    std::int64_t loopFrames = 0; // loop of the sound the take starts on
    // The take is saved at the depth of the sound it starts on: a step
    // file's take stays 16-bit, byte for byte, and a 24-bit sound keeps
    // what 16 bits would lose.
    int bits = 16;
    bool aligned = false;    // start is a loop boundary of it
    std::int64_t endIn = -1; // input frame after the last one wanted; -1 while recording
    std::int64_t stopAt = 0; // output frame of "stop capture"
    Clock::time_point stopTime;
    PlayState stopPlay;        // what was playing then
    std::int64_t spoolIn = -1; // input frame of the spool's first frame
    std::int64_t spooledIn = 0;
    bool lagDone = false;
    std::int64_t lag = 0; // the take's round trip
    bool lagFound = false;
    bool placed = false;   // by the path's round trip, not by a search of its own
    const char* searched = ""; // why it looked for its own round trip
    bool broke = false;    // frames broke off inside it
    std::int64_t full = 0; // frames of the take before any cut for lost frames
    std::int64_t kept = 0;
    bool lost = false; // the worker fell a whole ring behind
};

Recorder::Recorder(const FrameRing& in, const FrameRing& out, const Player& player,
                   const GlitchLog* glitches)
    : ring_(in), out_(out), player_(player), glitches_(glitches) {}

Recorder::~Recorder() = default;

long Recorder::command(const std::string& cmd, std::int64_t latency) {
    std::lock_guard lock(m_);
    if (cmd == kOpenCapture)
        return open();
    if (cmd == kCloseAll) {
        mode_ = Mode::Closed;
        current_.reset();
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
        return stop();
    if (isSave) {
        const long r = save(unquoted(cmd.substr(prefix.size())));
        (void)latency;
        return r;
    }
    // Seek to start and the format: a new take always starts empty at
    // 44100/2, its depth that of the sound it records.
    return kMciOk;
}

long Recorder::open() {
    if (mode_ != Mode::Closed)
        return kMciErrDuplicate;
    mode_ = Mode::Open;
    current_.reset();
    return kMciOk;
}

long Recorder::record() {
    if (mode_ == Mode::Recording)
        return kMciOk;
    auto t = std::make_unique<Take>();
    if (!t->spool.reset())
        return kMciErrNoDevice;
    mode_ = Mode::Recording;
    const PlayState s = player_.state();
    const std::int64_t posted = player_.lastPosted();
    if (s.serial < posted) {
        // The sound just asked for hasn't reached the device yet: the take
        // starts with its first frame.
        t->awaitSerial = posted;
    } else {
        const std::int64_t now = out_.written();
        t->start = alignedStart(now, s.start, s.loopFrames, s.loopFrames > 0 ? kMaxBack : kOnceBack);
        t->startSerial = s.serial;
        t->loopFrames = s.loopFrames;
        t->bits = s.bits;
        t->aligned =
            s.loopFrames > 0 && t->start >= s.start && (t->start - s.start) % s.loopFrames == 0;
    }
    current_ = std::move(t);
    return kMciOk;
}

void Recorder::resolveStart(Take& t) const {
    if (t.awaitSerial < 0)
        return;
    const PlayState s = player_.state();
    if (s.serial < t.awaitSerial)
        return;
    t.start = s.start;
    t.startSerial = s.serial;
    t.loopFrames = s.loopFrames;
    t.bits = s.bits;
    t.aligned = s.loopFrames > 0;
    t.awaitSerial = -1;
}

long Recorder::stop() {
    if (mode_ != Mode::Recording || !current_)
        return kMciOk;
    mode_ = Mode::Stopped;
    Take& t = *current_;
    resolveStart(t);
    t.stopAt = out_.written();
    t.stopTime = Clock::now();
    t.stopPlay = player_.state();
    return kMciOk;
}

long Recorder::save(const std::string& path) {
    if (mode_ == Mode::Recording)
        stop();
    if (mode_ != Mode::Stopped || !current_) {
        // Nothing was recorded: the file would hold no take of this step.
        setResult(path, {TakeResult::State::Failed, kWhyNothingPlayed});
        std::remove(path.c_str());
        return kMciErrCannotSave;
    }
    setResult(path, {TakeResult::State::Pending, {}});
    queue_.emplace_back(path, std::move(current_));
    mode_ = Mode::Open;
    return kMciOk;
}

void Recorder::setResult(const std::string& path, TakeResult r) {
    // Only the names in use are kept: one a step.
    if (results_.size() > 256 && !results_.count(path))
        results_.clear();
    results_[path] = std::move(r);
}

std::int64_t Recorder::expectedLag(std::int64_t latency) const {
    return tracked_ >= 0 ? tracked_ : latency;
}

void Recorder::feed(Take& t, std::int64_t latency) {
    resolveStart(t);
    if (t.start < 0 || t.spool.failed() || t.lost)
        return;
    if (t.spoolIn < 0) {
        // From as early as the take's round trip may be: its lag is only
        // known once it has come back.
        t.spoolIn = std::max<std::int64_t>(0, t.start + expectedLag(latency) - kSearch);
        t.spoolIn = std::max(t.spoolIn, ring_.oldest());
        t.spooledIn = t.spoolIn;
    }
    const std::int64_t from = t.spooledIn;
    std::int64_t to = ring_.written();
    if (t.endIn >= 0)
        to = std::min(to, t.endIn);
    if (from >= to)
        return;
    const auto buf = ringFrames(ring_, from, to - from);
    if (buf.empty()) {
        t.lost = true;
        return;
    }
    t.spool.append(buf.data(), buf.size());
    t.spooledIn = from + static_cast<std::int64_t>(buf.size());
}

void Recorder::pump(std::int64_t latency) {
    std::lock_guard lock(m_);
    monitor_.advance();
    if (monitor_.breaks() != breaksSeen_) {
        breaksSeen_ = monitor_.breaks();
        shifted_ = true; // the round trip may have moved: line the path up again
    }
    if (current_ && mode_ != Mode::Closed)
        feed(*current_, latency);
    while (!queue_.empty()) {
        auto& [path, take] = queue_.front();
        feed(*take, latency);
        if (!tryFinish(*take, path, latency))
            break; // takes finish in order: each one's round trip guides the next
        queue_.pop_front();
    }
}

bool Recorder::findTakeLag(Take& t, std::int64_t expected, bool late) {
    const LagSearch near = findLag(out_, ring_, t.start, expected, kSearch);
    if (!near.covered && near.match.corr < kExact && !late)
        return false; // more of the input may hold a better match
    LagMatch m = near.match;
    if (m.corr < kStrong) {
        // The round trip may have jumped further than a take's usual
        // drift: look as far as the input allows.
        const LagMatch wide = findLag(out_, ring_, t.start, expected, kWideSearch).match;
        if (wide.corr > m.corr)
            m = wide;
    }
    if (m.corr < kStrong) {
        // Frames around the change of sound were lost on the way: the
        // take starts where the new sound first comes back whole.
        const LagMatch onset = findOnset(out_, ring_, t.start, expected, kWideSearch).match;
        if (onset.corr > m.corr)
            m = onset;
    }
    t.lagDone = true;
    if (m.lag >= 0 && m.corr >= kStrong) {
        t.lag = m.lag;
        t.lagFound = true;
        tracked_ = m.lag;
        trackedAtIn_ = t.start + m.lag;
    } else {
        t.lag = expected; // silence, a pure high tone, or no loopback
    }
    return true;
}

// Placed by the path's round trip while no frames broke off since it was
// found; otherwise the take looks for its own, and the monitor reads on at
// that from the take's start. Trouble the device reported since (an
// underflow in the silence before a sweep) may have moved the path where
// the monitor cannot see it: the take looks for its own round trip too,
// and where that moved the path wants lining up again.
bool Recorder::placeTake(Take& t, std::int64_t expected, bool late) {
    const bool troubled =
        pathLag_ >= 0 && glitches_ &&
        glitches_->within(std::max(linedUpAt_ + pathLag_, troubleHeldTo_), t.start + pathLag_);
    if (pathLag_ >= 0 && t.start >= linedUpAt_ && !monitor_.firstBreak(linedUpAt_, t.start) &&
        !troubled) {
        t.lag = pathLag_;
        t.lagFound = t.placed = t.lagDone = true;
        return true;
    }
    if (kTrace)
        t.searched = pathLag_ < 0                 ? "no path"
                     : t.start < linedUpAt_       ? "before lining up"
                     : troubled                   ? "trouble reported"
                                                  : "frames broke off";
    if (!findTakeLag(t, expected, late))
        return false;
    if (troubled && t.lagFound && t.lag == pathLag_)
        troubleHeldTo_ = t.start + pathLag_; // the round trip held through it
    else if (troubled)
        shifted_ = true;
    if (t.lagFound && t.lag != monitor_.lag())
        monitor_.restart(t.lag, t.start);
    return true;
}

// The take's frames: from its start to where it was stopped, or to the
// last frame back from the device if that is earlier, and before a sound
// that replaced the recorded one; cut where it stops lining up.
void Recorder::cut(Take& t) const {
    std::int64_t end = std::min(t.stopAt, ring_.written() - t.lag);
    if (t.stopPlay.serial != t.startSerial)
        end = std::min(end, t.stopPlay.start);
    const auto wholeLoops = [&](std::int64_t frames) {
        // Every step file holds whole cycles, so whole loops of it hold
        // whole cycles too: cutting the take to whole loops removes the
        // part-cycle error of a level read over it.
        return t.aligned && t.stopPlay.serial <= t.startSerial + 1
                   ? trimToLoops(frames, t.loopFrames)
                   : frames;
    };
    t.full = wholeLoops(std::max<std::int64_t>(0, end - t.start));
    // Frames that broke off on the way: keep the part before, which is
    // still in step.
    if (const auto broke = monitor_.firstBreak(t.start, end)) {
        end = *broke;
        t.broke = true;
    }
    t.kept = wholeLoops(std::max<std::int64_t>(0, end - t.start));
    t.endIn = t.start + t.lag + t.kept;
}

bool Recorder::tryFinish(Take& t, const std::string& path, std::int64_t latency) {
    const bool late = Clock::now() - t.stopTime >= kPatience;
    resolveStart(t);
    if (t.start < 0) {
        setResult(path, {TakeResult::State::Failed, kWhyNothingPlayed});
        std::remove(path.c_str());
        return true;
    }
    if (!t.lagDone && !placeTake(t, expectedLag(latency), late))
        return false;
    if (!late && ring_.written() < t.stopAt + t.lag)
        return false; // the tail is still on its way
    if (!late && monitor_.lag() >= 0 && monitor_.judgedTo() < t.stopAt)
        return false; // not yet watched to its end
    if (t.endIn < 0 || t.spooledIn < t.endIn)
        cut(t);
    feed(t, latency);
    if (!late && !t.lost && !t.spool.failed() && t.spooledIn < t.endIn)
        return false;
    const std::int64_t skip = t.start + t.lag - t.spoolIn;
    std::int64_t frames = skip < 0 ? 0 : std::min(t.kept, t.spool.frames() - skip);
    if (frames < t.kept && t.aligned)
        frames = trimToLoops(frames, t.loopFrames);
    t.kept = std::max<std::int64_t>(frames, 0);
    PeakStats in;
    const bool saved = t.spool.save(path, std::max<std::int64_t>(skip, 0), t.kept, t.bits, &in);
    // What was played and what came back over the whole take, before any
    // cut: a dead input is named as such, whatever else went wrong.
    const std::int64_t span = std::min(std::max(t.full, t.kept), FrameRing::kSize / 2);
    PeakStats played, back;
    for (const auto f : ringFrames(out_, t.start, span))
        played.add(f);
    for (const auto f : ringFrames(ring_, t.start + t.lag, span))
        back.add(f);
    TakeResult r = judge(t, saved, latency);
    if (saved && back.peak <= kSilent && played.peak > kAudible)
        r = {TakeResult::State::Failed, kWhyNothingBack};
    else if (r.usable() && in.fullScale > 1 && played.fullScale == 0)
        r = {TakeResult::State::Suspect, kWhyClipped};
    else if (r.usable() && unrelated(t))
        r = {TakeResult::State::Suspect, kWhyUnrelated};
    if (r.state == TakeResult::State::Failed)
        std::remove(path.c_str());
    if (kTrace)
        std::fprintf(stderr,
                     "take %s: start %lld lag %lld (path %lld, found %d, placed %d%s%s) "
                     "kept %lld of %lld, loop %lld aligned %d: %s %s\n",
                     path.c_str(), static_cast<long long>(t.start), static_cast<long long>(t.lag),
                     static_cast<long long>(pathLag_), t.lagFound, t.placed,
                     *t.searched ? ", searched: " : "", t.searched,
                     static_cast<long long>(t.kept), static_cast<long long>(t.full),
                     static_cast<long long>(t.loopFrames), t.aligned,
                     r.state == TakeResult::State::Good      ? "good"
                     : r.state == TakeResult::State::Suspect ? "suspect"
                                                             : "failed",
                     r.why.c_str());
    kept_ = t.kept;
    lastLag_ = t.lag;
    lastLagFound_ = t.lagFound;
    setResult(path, r);
    return true;
}

// A loud input that never repeats with the sound played is some other
// sound: the wrong input, or something else drowning the sound. A quiet one
// may be a card's noise over a step it filtered away, which is a reading.
bool Recorder::unrelated(const Take& t) const {
    if (monitor_.lag() != t.lag)
        return false;
    const auto l = monitor_.likeness(t.start, t.start + t.kept);
    return l.stretches >= 4 && l.unlike == l.stretches && l.power > kLoud * kLoud;
}

TakeResult Recorder::judge(Take& t, bool saved, std::int64_t latency) {
    using S = TakeResult::State;
    (void)latency;
    if (!saved)
        return {S::Failed, kWhyNotSaved};
    if (t.lost || t.kept == 0)
        return {S::Failed, kWhyLost};
    // Frames lost inside the take: the part before the loss is exact, and
    // is kept when it is most of the take.
    if (t.kept * 2 < t.full)
        return {S::Failed, kWhyLost};
    const std::int64_t fromIn = t.start + t.lag;
    using Trouble = GlitchLog::Trouble;
    const auto why = [](Trouble w) { return w == Trouble::Suspended ? kWhySuspended : kWhyLost; };
    if (const auto w = glitches_ ? glitches_->within(fromIn, fromIn + t.kept) : std::nullopt)
        return {S::Failed, why(*w)};
    // A round trip taken over from an earlier take holds only while the
    // device reported no trouble since.
    if (!t.lagFound && glitches_ && tracked_ >= 0)
        if (const auto w = glitches_->within(trackedAtIn_, fromIn))
            return {S::Failed, why(*w)};
    if (!t.lagFound && tracked_ < 0)
        return {S::Suspect, kWhyUnaligned};
    // After frames broke off, a take placed by a round trip found in its
    // own tone (where that moved, the match may be a period off), or by
    // none at all, may not be what it seems.
    if (!t.placed && pathLag_ >= 0 && (!t.lagFound || t.lag != pathLag_))
        return {S::Suspect, kWhyShifted};
    return {S::Good, {}};
}

TakeResult Recorder::result(const std::string& path) const {
    std::lock_guard lock(m_);
    const auto it = results_.find(path);
    return it == results_.end() ? TakeResult{} : it->second;
}

void Recorder::markFailed(const std::string& path, const std::string& why) {
    std::lock_guard lock(m_);
    setResult(path, {TakeResult::State::Failed, why});
    std::remove(path.c_str());
}

void Recorder::abandon(const std::string& why) {
    std::lock_guard lock(m_);
    for (auto& [path, take] : queue_) {
        setResult(path, {TakeResult::State::Failed, why});
        std::remove(path.c_str());
    }
    queue_.clear();
    current_.reset();
    mode_ = Mode::Closed;
}

void Recorder::lineUp(std::int64_t lag, bool measured) {
    std::lock_guard lock(m_);
    if (kTrace)
        std::fprintf(stderr, "lined up at output frame %lld: round trip %lld, measured %d\n",
                     static_cast<long long>(out_.written()), static_cast<long long>(lag),
                     measured);
    pathLag_ = measured ? lag : -1;
    tracked_ = measured ? lag : tracked_;
    linedUpAt_ = out_.written();
    trackedAtIn_ = linedUpAt_ + lag;
    shifted_ = false;
    monitor_.restart(lag, linedUpAt_);
    breaksSeen_ = monitor_.breaks();
}

bool Recorder::shifted() const {
    std::lock_guard lock(m_);
    return shifted_;
}

bool Recorder::idle() const {
    std::lock_guard lock(m_);
    return queue_.empty() && mode_ != Mode::Recording;
}

bool Recorder::finishing() const {
    std::lock_guard lock(m_);
    return !queue_.empty();
}

std::int64_t Recorder::keptFrames() const {
    std::lock_guard lock(m_);
    return kept_;
}

std::int64_t Recorder::takeLag() const {
    std::lock_guard lock(m_);
    return lastLag_;
}

bool Recorder::takeLagFound() const {
    std::lock_guard lock(m_);
    return lastLagFound_;
}

} // namespace qelvar::audio
