// eSpeak NG in the program, synthesising into memory (no sound card needed).

#include "speech/espeakvoice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/engines/memorysink.h"

namespace brunzit {
namespace {

using test::MemorySink;
using test::Recording;
using Samples = std::vector<std::int16_t>;

const std::string LongText =
    "Aquest text \xE9s prou llarg perqu\xE8 la veu hi passi molta estona: "
    "el brunzit llegeix les lletres, les paraules i les frases que l'usuari escriu, "
    "una darrera l'altra, sense pressa, fins que algu l'aturi.";

struct Engine {
    std::shared_ptr<Recording> recording = std::make_shared<Recording>();
    EspeakVoice voice{std::make_unique<MemorySink>(recording)};

    Samples say(const std::string& text)
    {
        voice.speak(text);
        voice.waitUntilIdle();
        return recording->take();
    }
    double seconds(const Samples& samples) const
    {
        return static_cast<double>(samples.size()) / recording->sampleRate;
    }
    int indexOf(const std::string& name)
    {
        for (int i = 0; i < voice.voiceCount(); ++i)
            if (voice.voiceName(i) == name)
                return i;
        return -1;
    }
};

// eSpeak adds a little randomness to every voicing, so two syntheses of one
// text never match sample for sample. They are compared by their loudness
// over 10 ms frames instead: the same text and voice stay within about 1 dB
// on average; another text, voice or language is several dB away.
std::vector<double> loudness(const Samples& samples)
{
    std::vector<double> frames;
    for (std::size_t i = 0; i + 220 <= samples.size(); i += 220) {
        double energy = 0;
        for (std::size_t j = i; j < i + 220; ++j)
            energy += static_cast<double>(samples[j]) * samples[j];
        frames.push_back(10 * std::log10(energy / 220 + 1));
    }
    return frames;
}

double difference(const Samples& a, const Samples& b)
{
    const auto x = loudness(a), y = loudness(b);
    const std::size_t n = std::max(x.size(), y.size());
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += std::fabs((i < x.size() ? x[i] : 0) - (i < y.size() ? y[i] : 0));
    return n == 0 ? 0 : sum / static_cast<double>(n);
}

constexpr double SameSpeech = 2.0;

Samples joined(const Samples& a, const Samples& b)
{
    Samples both = a;
    both.insert(both.end(), b.begin(), b.end());
    return both;
}

double rms(const Samples& samples)
{
    double sum = 0;
    for (auto s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

TEST(EspeakVoice, OffersCatalanAndSpanishMaleAndFemaleAndNoMbrola)
{
    Engine engine;
    ASSERT_TRUE(engine.voice.isAvailable());
    struct Row {
        const char* name;
        const char* language;
        const char* gender;
    };
    const Row rows[] = {
        {"ca", "Catal\xE0", "home"},
        {"ca+f3", "Catal\xE0", "dona"},
        {"es", "Castell\xE0", "home"},
        {"es+f2", "Castell\xE0", "dona"},
    };
    for (const Row& row : rows) {
        const int index = engine.indexOf(row.name);
        ASSERT_GE(index, 0) << row.name;
        const std::string description = engine.voice.voiceDescription(index);
        EXPECT_NE(description.find(row.language), std::string::npos) << description;
        EXPECT_NE(description.find(row.gender), std::string::npos) << description;
    }
    const int count = engine.voice.voiceCount();
    EXPECT_LE(count, 10) << "short enough for the arrow keys";
    for (int i = 0; i < count; ++i) {
        EXPECT_NE(engine.voice.voiceName(i).rfind("mb", 0), 0u) << engine.voice.voiceName(i);
        EXPECT_FALSE(engine.voice.voiceDescription(i).empty());
    }
    EXPECT_EQ(engine.voice.voiceDescription(count), "");
    EXPECT_FALSE(engine.voice.chooseVoice(count));
    EXPECT_FALSE(engine.voice.chooseVoice(-1));
}

TEST(EspeakVoice, SynthesisesAudibleSpeechOfPlausibleLength)
{
    struct Row {
        const char* voice;
        std::string text;
        double minSeconds, maxSeconds;
    };
    const std::vector<Row> rows = {
        {"ca", "bloc lletres", 0.5, 1.0},
        {"es", "bloc lletres", 0.5, 1.0},
        {"ca", "a", 0.1, 0.6},
        {"ca", LongText, 8.0, 20.0},
        {"ca", "pa\xEDs, ra\xEF" "m i can\xE7\xF3", 1.0, 2.5},
    };
    Engine engine;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.voice + std::string(" ") + row.text);
        ASSERT_TRUE(engine.voice.chooseVoice(engine.indexOf(row.voice)));
        const Samples samples = engine.say(row.text);
        EXPECT_EQ(engine.recording->sampleRate, 22050);
        EXPECT_GE(engine.seconds(samples), row.minSeconds);
        EXPECT_LE(engine.seconds(samples), row.maxSeconds);
        EXPECT_GT(rms(samples), 500.0);
    }
    // Slices of at most 10 ms, so a stop is answered within one of them.
    EXPECT_LE(engine.recording->largestSlice, 22050u / 100);
}

TEST(EspeakVoice, SpeaksCatalanBeforeAnyVoiceIsChosen)
{
    Engine engine;
    const Samples unchosen = engine.say("bloc lletres");
    ASSERT_TRUE(engine.voice.chooseVoice(engine.indexOf("es")));
    const Samples spanish = engine.say("bloc lletres");
    ASSERT_TRUE(engine.voice.chooseVoice(engine.indexOf("ca")));
    const Samples catalan = engine.say("bloc lletres");
    EXPECT_LT(difference(unchosen, catalan), SameSpeech);
    EXPECT_GT(difference(unchosen, spanish), SameSpeech);
}

// Median pitch of the loud frames, by autocorrelation over 70..400 Hz.
double medianPitch(const Samples& samples, int sampleRate)
{
    constexpr std::size_t Frame = 1024;
    std::vector<double> pitches;
    for (std::size_t i = 0; i + Frame <= samples.size(); i += Frame / 2) {
        const std::int16_t* f = samples.data() + i;
        double energy = 0;
        for (std::size_t j = 0; j < Frame; ++j)
            energy += static_cast<double>(f[j]) * f[j];
        if (std::sqrt(energy / Frame) < 2000)
            continue;
        double best = 0;
        std::size_t bestLag = 0;
        for (std::size_t lag = static_cast<std::size_t>(sampleRate / 400); lag < static_cast<std::size_t>(sampleRate / 70); ++lag) {
            double c = 0;
            for (std::size_t j = 0; j + lag < Frame; ++j)
                c += static_cast<double>(f[j]) * f[j + lag];
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        if (bestLag != 0)
            pitches.push_back(static_cast<double>(sampleRate) / static_cast<double>(bestLag));
    }
    if (pitches.empty())
        return 0;
    std::nth_element(pitches.begin(), pitches.begin() + static_cast<long>(pitches.size() / 2), pitches.end());
    return pitches[pitches.size() / 2];
}

TEST(EspeakVoice, FemaleVoicesSpeakHigherThanMaleOnes)
{
    struct Row {
        const char* male;
        const char* female;
    };
    const Row rows[] = {{"ca", "ca+f3"}, {"es", "es+f2"}};
    Engine engine;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.female);
        ASSERT_TRUE(engine.voice.chooseVoice(engine.indexOf(row.male)));
        const double male = medianPitch(engine.say("bloc lletres"), 22050);
        ASSERT_TRUE(engine.voice.chooseVoice(engine.indexOf(row.female)));
        const double female = medianPitch(engine.say("bloc lletres"), 22050);
        EXPECT_GT(male, 70.0);
        EXPECT_LT(male, 150.0);
        EXPECT_GT(female, 1.5 * male);
    }
}

TEST(EspeakVoice, RateCurveRunsFromEspeakSlowestToAboutThreeTimesNormal)
{
    struct Row {
        int rate;
        int wordsPerMinute;
    };
    const Row rows[] = {{-11, 80}, {-10, 80}, {-5, 128}, {0, 175}, {5, 303}, {10, 525}, {11, 525}};
    for (const Row& row : rows)
        EXPECT_EQ(espeakWordsPerMinute(row.rate), row.wordsPerMinute) << row.rate;
    for (int r = -10; r < 10; ++r)
        EXPECT_LT(espeakWordsPerMinute(r), espeakWordsPerMinute(r + 1)) << r;
}

TEST(EspeakVoice, FasterRateGivesShorterAudio)
{
    Engine engine;
    std::vector<double> lengths;
    for (int rate : {-10, -5, 0, 5, 10}) {
        engine.voice.setRate(rate);
        lengths.push_back(engine.seconds(engine.say(LongText)));
    }
    for (std::size_t i = 1; i < lengths.size(); ++i)
        EXPECT_LT(lengths[i], lengths[i - 1]) << "step " << i;
    const double normal = lengths[2];
    EXPECT_GT(lengths.front() / normal, 1.6) << "slowest";
    EXPECT_GT(normal / lengths.back(), 2.2) << "fastest";
}

TEST(EspeakVoice, QueuedTextsFollowInOrder)
{
    Engine engine;
    const Samples first = engine.say("bloc lletres");
    const Samples second = engine.say("nombres");
    engine.voice.speak("bloc lletres");
    engine.voice.speak("nombres");
    engine.voice.waitUntilIdle();
    const Samples both = engine.recording->take();
    EXPECT_LT(difference(both, joined(first, second)), SameSpeech);
    EXPECT_GT(difference(both, joined(second, first)), SameSpeech);
}

TEST(EspeakVoice, SkipCutsWithinOneSliceDropsTheQueueKeepsTheRate)
{
    Engine engine;
    engine.voice.setRate(5);
    const Samples reference = engine.say("bloc lletres");

    // eSpeak hands over 1081 samples (five slices) at a time: hold inside
    // such a chunk, so the rest of it is what the stop has to hold back.
    engine.recording->holdAt(engine.recording->writesSoFar() + 18);
    engine.voice.speak(LongText);
    engine.voice.speak("nombres");
    const bool held = engine.recording->waitUntilHeld();
    engine.voice.skip();
    const int writesAtSkip = engine.recording->writesSoFar();
    engine.recording->release();
    engine.voice.waitUntilIdle();
    ASSERT_TRUE(held);

    // The slice being written when skip came is the last one: nothing more of
    // the long text and nothing of the queued one reaches the sink.
    EXPECT_EQ(engine.recording->writesSoFar(), writesAtSkip);
    EXPECT_EQ(engine.recording->flushes, 1);
    engine.recording->take();

    // Afterwards the engine speaks normally, still at the rate given before.
    EXPECT_LT(difference(engine.say("bloc lletres"), reference), SameSpeech);
}

TEST(EspeakVoice, SkipWithNothingSaidStillFlushesAndSpeaksAfterwards)
{
    Engine engine;
    const Samples reference = engine.say("bloc");
    engine.voice.skip();
    engine.voice.waitUntilIdle();
    EXPECT_EQ(engine.recording->flushes, 1);
    EXPECT_LT(difference(engine.say("bloc"), reference), SameSpeech);
}

TEST(EspeakVoice, StaysSilentWithoutASinkAndDoesNotBlock)
{
    Engine engine;
    engine.recording->refuseOpen = true;
    engine.voice.speak("bloc lletres");
    engine.voice.speak(LongText);
    engine.voice.waitUntilIdle();
    EXPECT_TRUE(engine.voice.isAvailable());
    EXPECT_EQ(engine.recording->writesSoFar(), 0);
    // Once there is somewhere to play, the same engine speaks again.
    engine.recording->refuseOpen = false;
    EXPECT_FALSE(engine.say("bloc").empty());
}

TEST(EspeakVoice, OneOwnerAtATimeAndANewOwnerStartsAfresh)
{
    Samples reference;
    {
        Engine first;
        reference = first.say("bloc lletres");
        Engine second;
        EXPECT_FALSE(second.voice.isAvailable());
        EXPECT_EQ(second.voice.voiceCount(), -1);
        second.voice.speak("bloc");  // ignored, harmless
        first.voice.chooseVoice(first.indexOf("es+f2"));
        first.voice.setRate(10);
        first.voice.speak("bloc");
        first.voice.waitUntilIdle();
    }
    Engine next;
    ASSERT_TRUE(next.voice.isAvailable());
    EXPECT_LT(difference(next.say("bloc lletres"), reference), SameSpeech)
        << "Catalan at normal speed again";
}

TEST(EspeakVoice, WithoutASoundServerTheRealSinkIsSilentAndQuiet)
{
    setenv("PULSE_SERVER", "unix:/nonexistent-brunzit/pulse.sock", 1);
    testing::internal::CaptureStderr();
    {
        auto engine = createEspeakVoice();
        ASSERT_TRUE(engine->isAvailable());
        engine->speak("bloc lletres");
        engine->skip();
        engine->speak("bloc");
        static_cast<EspeakVoice&>(*engine).waitUntilIdle();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace brunzit
