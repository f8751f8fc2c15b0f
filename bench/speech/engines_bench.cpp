// How quickly the voice engines start and stop speaking.
//
//   speech_bench            eSpeak NG in the program, into a sink that paces
//                           like a sound device: SpeakText -> first sample
//                           handed to the sink, StopSpeaking -> sink flushed.
//   speech_bench --server   also request -> sound and stop -> silence as heard
//                           at a PulseAudio null sink, for eSpeak NG in the
//                           program and for Speech Dispatcher, with their
//                           ratio. Needs PULSE_SERVER and SPEECHD_ADDRESS
//                           (run-with-servers.sh starts private servers).

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/speech/timedsink.h"
#include "speech/espeakvoice.h"
#include "speech/speechdvoice.h"

using namespace brunzit;
using namespace brunzit::bench;
using namespace std::chrono_literals;

namespace {

struct Text {
    const char* label;
    std::string text;
};

const std::vector<Text> Texts = {
    {"one letter", "a"},
    {"one word", "lletres"},
    // 200 characters
    {"200-char sentence",
     "Quan l'usuari tria una lletra amb les fletxes, el programa la diu en veu alta i "
     "l'afegeix al final del text; despr\xE9s pot llegir la paraula sencera o esborrar-la "
     "si s'ha equivocat de la tecla, tot sol."},
};

struct Figures {
    double median, p95;
};

Figures summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        const auto i = static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1) + 0.5);
        return ms[std::min(i, ms.size() - 1)];
    };
    return {at(0.5), at(0.95)};
}

double elapsedMs(long long fromNs, long long toNs) { return static_cast<double>(toNs - fromNs) / 1e6; }

void waitFor(const std::atomic<long long>& value, long long after)
{
    while (value.load() <= after)
        std::this_thread::sleep_for(20us);
}

void inProcess(int runs)
{
    SinkTimes times;
    // 40 ms queued at most, as the PulseAudio sink asks of the server.
    EspeakVoice voice(std::make_unique<TimedSink>(times, 40ms));
    if (!voice.isAvailable()) {
        std::printf("eSpeak NG is not available\n");
        return;
    }
    std::mt19937 random(7);
    std::printf("eSpeak NG in the program, %d runs each (ms)\n", runs);
    std::printf("%-18s %22s %22s\n", "", "speak -> first sample", "stop -> sink flushed");
    std::printf("%-18s %10s %11s %10s %11s\n", "text", "median", "p95", "median", "p95");
    for (const Text& text : Texts) {
        std::vector<double> first, stop;
        for (int run = 0; run < runs; ++run) {
            times.firstWrite = 0;
            const long long start = nowNs();
            voice.speak(text.text);
            waitFor(times.firstWrite, 0);
            first.push_back(elapsedMs(start, times.firstWrite));
            // Stop somewhere in the first 100 ms of sound, as a key press would.
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 95));
            const long long stopAt = nowNs();
            voice.skip();
            waitFor(times.lastFlush, stopAt);
            stop.push_back(elapsedMs(stopAt, times.lastFlush));
            voice.waitUntilIdle();
        }
        const Figures f = summarise(first), s = summarise(stop);
        std::printf("%-18s %10.3f %11.3f %10.3f %11.3f\n", text.label, f.median, f.p95, s.median, s.p95);
    }
}

// Listens to the null sink's monitor in 2 ms blocks and notes when it last
// heard something louder than -40 dBFS.
class Listener {
public:
    bool start()
    {
        const pa_sample_spec format{PA_SAMPLE_S16LE, 22050, 1};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = 2 * 22050 * 2 / 1000;
        const char* monitor = std::getenv("BRUNZIT_MONITOR");
        stream_ = pa_simple_new(nullptr, "speech_bench", PA_STREAM_RECORD,
                                monitor != nullptr ? monitor : "nullsink.monitor", "listen", &format,
                                nullptr, &attr, nullptr);
        if (stream_ == nullptr)
            return false;
        thread_ = std::thread([this] { run(); });
        return true;
    }
    ~Listener()
    {
        quit_ = true;
        if (thread_.joinable())
            thread_.join();
        if (stream_ != nullptr)
            pa_simple_free(stream_);
    }
    std::atomic<long long> lastLoud{0};

private:
    void run()
    {
        std::int16_t block[44];
        while (!quit_) {
            if (pa_simple_read(stream_, block, sizeof block, nullptr) < 0)
                return;
            const long long now = nowNs();
            for (auto s : block) {
                if (std::abs(static_cast<int>(s)) > 328) {
                    lastLoud = now;
                    break;
                }
            }
        }
    }
    pa_simple* stream_ = nullptr;
    std::thread thread_;
    std::atomic<bool> quit_{false};
};

struct Heard {
    Figures sound, silence;
};

// Waits until the monitor hears something after `since`; false after 3 s.
bool waitForSound(Listener& ears, long long since)
{
    const long long deadline = since + 3'000'000'000LL;
    while (ears.lastLoud.load() <= since && nowNs() < deadline)
        std::this_thread::sleep_for(100us);
    return ears.lastLoud.load() > since;
}

// Waits until nothing loud has come for 200 ms.
void waitForSilence(Listener& ears, long long since)
{
    while (nowNs() - std::max(ears.lastLoud.load(), since) < 200'000'000LL)
        std::this_thread::sleep_for(1ms);
}

// Request -> first loud block at the monitor, for a word that starts with a
// voiced sound ("lletres": eSpeak's leading silence is under 1 ms there).
// Stop, at a random moment 200..600 ms into the sentence, -> last loud
// block; a stop that falls into a pause between words counts as 0.
Heard listen(VoiceEngine& voice, Listener& ears, int runs)
{
    std::mt19937 random(11);
    std::vector<double> sound, silence;
    for (int run = 0; run < runs; ++run) {
        std::this_thread::sleep_for(300ms);
        const long long start = nowNs();
        voice.speak(Texts[1].text);
        if (!waitForSound(ears, start))
            continue;  // nothing heard: not counted
        sound.push_back(elapsedMs(start, ears.lastLoud));
        waitForSilence(ears, start);

        const long long again = nowNs();
        voice.speak(Texts[2].text);
        if (!waitForSound(ears, again))
            continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(200 + random() % 400));
        const long long stopAt = nowNs();
        voice.skip();
        waitForSilence(ears, stopAt);
        silence.push_back(std::max(0.0, elapsedMs(stopAt, ears.lastLoud)));
    }
    if (sound.empty() || silence.empty())
        return {{-1, -1}, {-1, -1}};
    return {summarise(sound), summarise(silence)};
}

void atServer(int runs)
{
    Listener ears;
    if (!ears.start()) {
        std::printf("\nno sound server to listen to: set PULSE_SERVER (see run-with-servers.sh)\n");
        return;
    }
    Heard espeak, speechd;
    {
        auto voice = createEspeakVoice();
        espeak = listen(*voice, ears, runs);
    }
    {
        SpeechdVoice voice(false);
        voice.chooseVoice(0);
        if (!voice.waitUntilSent()) {
            std::printf("\nno Speech Dispatcher: set SPEECHD_ADDRESS (see run-with-servers.sh)\n");
            speechd = {{-1, -1}, {-1, -1}};
        } else {
            speechd = listen(voice, ears, runs);
        }
    }
    std::printf("\nAt a PulseAudio null sink, %d runs each (ms)\n", runs);
    std::printf("%-26s %22s %22s\n", "", "request -> sound (word)", "stop -> silence (sentence)");
    std::printf("%-26s %10s %11s %10s %11s\n", "engine", "median", "p95", "median", "p95");
    auto row = [](const char* name, const Heard& h) {
        std::printf("%-26s %10.1f %11.1f %10.1f %11.1f\n", name, h.sound.median, h.sound.p95,
                    h.silence.median, h.silence.p95);
    };
    row("eSpeak NG in the program", espeak);
    row("Speech Dispatcher", speechd);
    if (espeak.sound.median > 0 && speechd.sound.median > 0)
        std::printf("Speech Dispatcher / in the program: request -> sound x%.2f, stop -> silence x%.2f\n",
                    speechd.sound.median / espeak.sound.median,
                    speechd.silence.median / std::max(0.1, espeak.silence.median));
}

}  // namespace

int main(int argc, char** argv)
{
    const bool server = argc > 1 && std::string(argv[1]) == "--server";
    inProcess(200);
    if (server)
        atServer(30);
    return 0;
}
