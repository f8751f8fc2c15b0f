#include "speech/audiosink.h"

namespace brunzit {

namespace {

class SilentSink : public AudioSink {
public:
    bool open(int) override { return false; }
    void write(std::span<const std::int16_t>) override {}
    void flush() override {}
};

}  // namespace

std::unique_ptr<AudioSink> createPulseSink(const std::string&)
{
    return std::make_unique<SilentSink>();
}

}  // namespace brunzit
