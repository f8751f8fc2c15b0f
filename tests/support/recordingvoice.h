#pragma once
// A voice engine for tests: it says nothing and records every call, in order,
// in a log the test keeps after the engine has been handed over.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "speech/voiceengine.h"

namespace brunzit {

struct VoiceRecord {
    // Every call in order: "count", "describe 0", "choose 1", "speak hola",
    // "skip", "rate -3".
    std::vector<std::string> calls;
    std::vector<std::string> spoken;  // texts given to speak, in order
    std::vector<int> rates;
    std::vector<int> chosen;          // indexes passed to chooseVoice, valid or not
    int skips = 0;
    // The queue as the engine would hold it: speak appends, skip empties it,
    // finishOne() says the first text.
    std::vector<std::string> queued;
    std::vector<std::string> said;

    void finishOne();
    void clear();
};

class RecordingVoice : public VoiceEngine {
public:
    explicit RecordingVoice(std::vector<std::string> voices = {},
                            std::shared_ptr<VoiceRecord> record = std::make_shared<VoiceRecord>(),
                            bool available = true);

    // Test knobs: listing reports failure (-1), or the description of the
    // voice at this index fails (empty).
    void setCountFails(bool fails) { countFails_ = fails; }
    void setDescriptionFailsAt(int index) { descriptionFailsAt_ = index; }

    std::shared_ptr<VoiceRecord> record() const { return record_; }
    int currentVoice() const { return current_; }

    bool isAvailable() const override { return available_; }
    int voiceCount() override;
    std::string voiceDescription(int index) override;
    bool chooseVoice(int index) override;
    void speak(const std::string& text) override;
    void skip() override;
    void setRate(int rate) override;

    // A factory for SpeechEngines: each call makes a new engine sharing record.
    static std::function<std::unique_ptr<VoiceEngine>()> factory(
        std::vector<std::string> voices, std::shared_ptr<VoiceRecord> record, bool available = true);

private:
    std::vector<std::string> voices_;
    std::shared_ptr<VoiceRecord> record_;
    bool available_;
    bool countFails_ = false;
    int descriptionFailsAt_ = -1;
    int current_ = -1;
};

}  // namespace brunzit
