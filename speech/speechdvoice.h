#pragma once
// Speech Dispatcher, the desktop's speech service: the "SAPI" engine type.
//
// The engine's own worker thread opens the connection and makes every call
// to libspeechd, so no call here ever blocks the caller, not even when the
// daemon hangs or is being started. Texts are sent with the message priority
// (they queue behind each other); skip() cancels only this program's speech,
// never other clients' (the user's screen reader keeps talking).
// Rate -10..10 is Speech Dispatcher's -100..100 in steps of 10.
//
// The voices offered are voice types per language (male and female), for
// Catalan and for Spanish when the daemon has at least one voice of that
// language; the daemon resolves a type to one of its voices at once. The
// daemon's list is fetched once, on a connection of its own, when it first
// answers; when it is slow to come all four types are offered. Until a voice
// is chosen the daemon's default voice speaks.
//
// A daemon that does not answer within a few seconds of the engine's creation
// offers no voice: the engine stays silent (it still tries to connect again
// when asked to speak, at most every few seconds).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "speech/voiceengine.h"

namespace brunzit {

std::unique_ptr<VoiceEngine> createSpeechdVoice();

class SpeechdVoice final : public VoiceEngine {
public:
    // startDaemon: start the daemon when none answers, as every client of it
    // does on the desktop (tests turn this off).
    explicit SpeechdVoice(bool startDaemon = true);
    ~SpeechdVoice() override;
    SpeechdVoice(const SpeechdVoice&) = delete;
    SpeechdVoice& operator=(const SpeechdVoice&) = delete;

    bool isAvailable() const override;
    int voiceCount() override;
    std::string voiceDescription(int index) override;
    bool chooseVoice(int index) override;
    void speak(const std::string& text) override;
    void skip() override;
    void setRate(int rate) override;
    bool canMakeSound() override;

    // Blocks until everything asked so far has been sent to the daemon or
    // dropped; true when the engine is connected (tools and tests).
    bool waitUntilSent();

private:
    struct Worker;
    std::shared_ptr<Worker> worker_;
    // The types listed, fixed by the first question about voices.
    std::optional<std::vector<int>> listed_;
};

}  // namespace brunzit
