// The tests' one speech engine: two voices and one output, remembers every setting and records
// what it was asked to say (a stop as an empty entry).
#pragma once

#include "reader/core/voice.h"

#include <cstddef>
#include <string>
#include <vector>

namespace folio::testing {

class FakeSpeech : public folio::reader::SpeechEngine {
  public:
    std::vector<std::string> voiceList{"Voice A", "Voice B"};
    std::vector<std::string> outputList{"Speakers"};
    int voice = -1, output = -1, formatType = -1, rate = 0, volume = 100;
    std::vector<std::string> spoken;

    std::vector<std::string> voices() const override { return voiceList; }
    std::vector<std::string> outputs() const override { return outputList; }
    bool setVoice(int index) override { return ok(voice, index, voiceList.size()); }
    bool setOutput(int index) override { return ok(output, index, outputList.size()); }
    bool setFormatType(int type) override {
        formatType = type;
        return true;
    }
    bool setRate(int r) override {
        rate = r;
        return true;
    }
    bool setVolume(int v) override {
        volume = v;
        return true;
    }
    void speak(const std::string& text) override { spoken.push_back(text); }
    void stop() override { spoken.push_back({}); }

  private:
    static bool ok(int& target, int index, std::size_t count) {
        if (index < 0 || static_cast<std::size_t>(index) >= count)
            return false;
        target = index;
        return true;
    }
};

} // namespace folio::testing
