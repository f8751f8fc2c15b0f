#include "speech/speechdvoice.h"

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

std::unique_ptr<VoiceEngine> createSpeechdVoice() { return std::make_unique<Unavailable>(); }

}  // namespace brunzit
