#pragma once
// Where an engine's samples go: mono 16-bit PCM handed over in short slices.
// One thread owns a sink (the engine's worker); a sink is never shared.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace brunzit {

class AudioSink {
public:
    virtual ~AudioSink() = default;

    // Prepares output at the given sample rate. False when there is nowhere to
    // play (no sound server); the caller then stays silent and asks again later.
    virtual bool open(int sampleRate) = 0;
    // Hands over one slice. May block until the output can take it: that wait
    // is what paces synthesis to real time.
    virtual void write(std::span<const std::int16_t> slice) = 0;
    // Drops everything written but not yet heard.
    virtual void flush() = 0;
};

// The desktop's sound server through the PulseAudio simple API (PipeWire
// serves it too). Never blocks for long when there is no server: it answers
// open() with false and only retries after a pause.
std::unique_ptr<AudioSink> createPulseSink(const std::string& clientName);

}  // namespace brunzit
