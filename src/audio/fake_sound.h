// A sound layer that only records the calls made to it: the test seam for
// checking exact call sequences.
#pragma once

#include "audio/sound.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qelvar::audio {

class FakeSound : public SoundServices {
  public:
    struct Call {
        enum Kind { Play, Mci } kind;
        std::string text; // sound name or command
        unsigned flags = 0;
        bool operator==(const Call&) const = default;
    };

    std::vector<Call> calls;
    // Called on "save capture PATH" with PATH, so a test can put a
    // crafted capture file in place.
    std::function<void(const std::string&)> onSave;

    // What readiness() answers, and the result every saved take gets
    // unless `results` names its path.
    Readiness ready = Readiness::Ready;
    bool playing = false;
    TakeResult result{TakeResult::State::Good, {}};
    std::map<std::string, TakeResult> results;

    // What setupNotes() answers.
    std::vector<SetupNote> setup;

    Readiness readiness() const override { return ready; }
    std::vector<SetupNote> setupNotes() const override { return setup; }
    bool soundPlaying() const override { return playing; }
    TakeResult takeResult(const std::string& path) const override {
        const auto it = results.find(path);
        return it != results.end() ? it->second : result;
    }

    long playSound(const std::string& name, unsigned flags) override {
        calls.push_back({Call::Play, name, flags});
        return 1;
    }
    long mciSendString(const std::string& command, std::string* ret) override {
        calls.push_back({Call::Mci, command, 0});
        if (ret)
            ret->clear();
        const std::string prefix = kSaveCapturePrefix;
        if (onSave && command.rfind(prefix, 0) == 0)
            onSave(command.substr(prefix.size()));
        return 0;
    }

    static Call play(std::string name, unsigned flags) {
        return {Call::Play, std::move(name), flags};
    }
    static Call mci(std::string cmd) { return {Call::Mci, std::move(cmd), 0}; }
};

} // namespace qelvar::audio
