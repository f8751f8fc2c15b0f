#include "speech/espeakvoice.h"

namespace brunzit {

namespace {

class Unavailable : public VoiceEngine {
public:
    bool isAvailable() const override { return false; }
    int voiceCount() override { return -1; }
    std::string voiceDescription(int) override { return {}; }
    bool chooseVoice(int) override { return false; }
    void speak(const std::string&) override {}
    void skip() override {}
    void setRate(int) override {}
};

}  // namespace

int espeakWordsPerMinute(int rate) { return 175 + rate; }

std::unique_ptr<VoiceEngine> createEspeakVoice() { return std::make_unique<Unavailable>(); }
std::unique_ptr<VoiceEngine> createEspeakVoice(std::unique_ptr<AudioSink>) { return std::make_unique<Unavailable>(); }

}  // namespace brunzit
