#pragma once
// eSpeak NG in the program: the "MSP" engine type.
//
// One worker thread owns the eSpeak instance and the audio sink; every call
// reaches eSpeak through it. Texts wait in our own queue and are synthesised
// in order straight into the sink, in slices of at most 10 ms. skip() drops
// the queue and makes the synthesis callback abort before the next slice
// (eSpeak's own cancel would let the current text finish synthesising).
//
// eSpeak keeps its state in process globals, so one engine at a time owns
// it: while one exists, another one is created unavailable.
//
// Until a voice is chosen the engine speaks Catalan.
//
// Rate curve, -10..10 to eSpeak's words per minute (175 is eSpeak's normal):
//   r <= 0: 175 + 9.5 * r      linear down to 80 at -10, eSpeak's floor (it
//                              cannot go slower)
//   r >  0: 175 * 3^(r / 10)   geometric up to 525 at +10; eSpeak switches
//                              to its sonic speed-up from 450 on (+9, +10)
// Measured on a Catalan sentence of 4.2 s at 0: 8.5 s at -10 (x2.0 longer),
// 5.6 s at -5, 2.6 s at +5, 1.5 s at +10 (x2.75 shorter).

#include <memory>
#include <string>
#include <vector>

#include "speech/audiosink.h"
#include "speech/voiceengine.h"

namespace brunzit {

// Words per minute eSpeak gets for rate -10..10 (clamped to that range).
int espeakWordsPerMinute(int rate);

// With the desktop's sound server as the sink.
std::unique_ptr<VoiceEngine> createEspeakVoice();
// With a sink of the caller's choosing (tests, tools, benchmarks).
std::unique_ptr<VoiceEngine> createEspeakVoice(std::unique_ptr<AudioSink> sink);

class EspeakVoice final : public VoiceEngine {
public:
    explicit EspeakVoice(std::unique_ptr<AudioSink> sink);
    ~EspeakVoice() override;
    EspeakVoice(const EspeakVoice&) = delete;
    EspeakVoice& operator=(const EspeakVoice&) = delete;

    bool isAvailable() const override;
    int voiceCount() override;
    std::string voiceDescription(int index) override;
    bool chooseVoice(int index) override;
    void speak(const std::string& text) override;
    void skip() override;
    void setRate(int rate) override;
    // False as well when the sound server could not be reached at the start.
    bool canMakeSound() override;

    // eSpeak's name of voice `index` ("ca", "ca+f3"...); empty when none.
    std::string voiceName(int index) const;
    // Blocks until everything asked so far has been done: every queued text
    // handed to the sink (tools, tests and benchmarks wait with it).
    void waitUntilIdle();

private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
};

}  // namespace brunzit
