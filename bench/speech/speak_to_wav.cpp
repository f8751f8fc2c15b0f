// Speaks a text with eSpeak NG in the program into a WAV file, to listen to
// the engine or check it with sox:  speak_to_wav out.wav [voice] [rate] text
// The text is taken as UTF-8 from the command line.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "speech/espeakvoice.h"

using namespace brunzit;

namespace {

struct Capture {
    std::vector<std::int16_t> samples;
    int sampleRate = 0;
};

class FileSink : public AudioSink {
public:
    explicit FileSink(Capture& capture) : capture_(capture) {}
    bool open(int sampleRate) override
    {
        capture_.sampleRate = sampleRate;
        return true;
    }
    void write(std::span<const std::int16_t> slice) override
    {
        capture_.samples.insert(capture_.samples.end(), slice.begin(), slice.end());
    }
    void flush() override {}

private:
    Capture& capture_;
};

void put32(std::ofstream& out, std::uint32_t v)
{
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.write(b, 4);
}
void put16(std::ofstream& out, std::uint16_t v)
{
    const char b[2] = {char(v), char(v >> 8)};
    out.write(b, 2);
}

bool writeWav(const std::string& path, const Capture& c)
{
    std::ofstream out(path, std::ios::binary);
    const auto bytes = static_cast<std::uint32_t>(c.samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, static_cast<std::uint32_t>(c.sampleRate));
    put32(out, static_cast<std::uint32_t>(c.sampleRate) * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, bytes);
    for (auto s : c.samples)
        put16(out, static_cast<std::uint16_t>(s));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s out.wav [voice-index] [rate] text\n", argv[0]);
        return 2;
    }
    Capture capture;
    EspeakVoice voice(std::make_unique<FileSink>(capture));
    if (!voice.isAvailable()) {
        std::fprintf(stderr, "eSpeak NG is not available\n");
        return 1;
    }
    int next = 2;
    if (argc > 4) {
        voice.chooseVoice(std::atoi(argv[2]));
        voice.setRate(std::atoi(argv[3]));
        next = 4;
    }
    std::string text;
    for (int i = next; i < argc; ++i)
        text += std::string(i > next ? " " : "") + argv[i];
    voice.speak(utf8ToCp1252(text));
    voice.waitUntilIdle();
    for (int i = 0; i < voice.voiceCount(); ++i)
        std::fprintf(stderr, "voice %d: %s\n", i, voice.voiceName(i).c_str());
    return writeWav(argv[1], capture) ? 0 : 1;
}
