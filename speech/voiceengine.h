#pragma once
// One narrow interface for the voice engines of the speech service, in the
// shape of the automation voice objects it stands in for: list, choose,
// speak (returns at once, queues), skip (current and queued), rate.
//
// Texts are Windows-1252 bytes. Every failure stays inside the engine: a call
// that fails returns false (or does nothing) and never throws.

#include <memory>
#include <string>

namespace brunzit {

class VoiceEngine {
public:
    virtual ~VoiceEngine() = default;

    // False when the engine could not be created (no library, no service).
    virtual bool isAvailable() const = 0;

    // GetVoices.Count: -1 when listing fails.
    virtual int voiceCount() = 0;
    // GetVoices.Item(i).GetDescription; empty when it fails.
    virtual std::string voiceDescription(int index) = 0;
    // Voice = GetVoices.Item(index); false when there is no such voice.
    virtual bool chooseVoice(int index) = 0;

    // Speak(text, async): returns at once; a text given while another is
    // spoken waits and follows in order.
    virtual void speak(const std::string& text) = 0;
    // Skip: drops what is being said and everything queued.
    virtual void skip() = 0;
    // Rate: -10 (slowest) .. 10 (fastest), 0 the engine's normal speed.
    virtual void setRate(int rate) = 0;
    // Whether something given is still being said or waits; engines that
    // cannot tell say no.
    virtual bool speaking() { return false; }

    // Whether a voice of this engine can be heard: it lists voices and has
    // somewhere to play them.
    virtual bool canMakeSound() { return isAvailable() && voiceCount() > 0; }
};

}  // namespace brunzit
