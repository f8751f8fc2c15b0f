#include "speech/espeakvoice.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/cp1252.h"

namespace brunzit {

namespace {

constexpr int NormalWordsPerMinute = 175;
constexpr int SlowestWordsPerMinute = 80;

// The voices offered, in list order. A voice is offered only when its
// language and variant are installed. MBROLA voices (mb/...) are never
// offered: choosing one that is not installed corrupts the current voice.
struct VoiceChoice {
    const char* language;  // a language an installed eSpeak voice speaks
    const char* variant;   // variant file under voices/!v, or nullptr
    const char* description;
};

constexpr VoiceChoice VoiceChoices[] = {
    {"ca", nullptr, "eSpeak NG - Catal\xE0, home"},
    {"ca", "f3", "eSpeak NG - Catal\xE0, dona"},
    {"es", nullptr, "eSpeak NG - Castell\xE0, home"},
    {"es", "f2", "eSpeak NG - Castell\xE0, dona"},
    {"es-419", nullptr, "eSpeak NG - Castell\xE0 d'Am\xE8rica, home"},
    {"es-419", "f4", "eSpeak NG - Castell\xE0 d'Am\xE8rica, dona"},
};

constexpr const char* DefaultVoice = "ca";

struct OfferedVoice {
    std::string name;  // for espeak_SetVoiceByName: "ca", "ca+f3"
    std::string description;
};

bool startsWith(const char* text, std::string_view prefix)
{
    return text != nullptr && std::string_view(text).substr(0, prefix.size()) == prefix;
}

using NameSet = std::set<std::string, std::less<>>;

// The installed languages and variants, as eSpeak itself lists them. Slow:
// espeak_ListVoices reads every voice file (about 30 ms for both lists).
void listThroughEspeak(NameSet& languages, NameSet& variants)
{
    // Each call overwrites the array the previous one returned.
    for (auto v = espeak_ListVoices(nullptr); v != nullptr && *v != nullptr; ++v) {
        if (startsWith((*v)->identifier, "mb/"))
            continue;
        for (const char* p = (*v)->languages; p != nullptr && *p != 0;) {
            const char* name = p + 1;  // after the priority byte
            languages.insert(name);
            p = name + std::strlen(name) + 1;
        }
    }
    espeak_VOICE variantSpec{};
    variantSpec.languages = "variant";
    for (auto v = espeak_ListVoices(&variantSpec); v != nullptr && *v != nullptr; ++v) {
        const std::string_view id = (*v)->identifier != nullptr ? (*v)->identifier : "";
        variants.insert(std::string(id.substr(id.rfind('/') + 1)));  // "!v/f3" -> "f3"
    }
}

// The same from the names of the files in eSpeak's data folder, in well under
// a millisecond: language voices are lang/<family>/<code> and variants
// voices/!v/<name>. MBROLA voices live in voices/mb and are never seen.
// False when the folder is not laid out that way.
bool listFromDataFolder(NameSet& languages, NameSet& variants)
{
    const char* data = nullptr;
    espeak_Info(&data);
    if (data == nullptr)
        return false;
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path lang = fs::path(data) / "lang";
    if (!fs::is_directory(lang, error))
        return false;
    for (auto it = fs::recursive_directory_iterator(lang, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file(error))
            languages.insert(it->path().filename().string());
    }
    for (auto it = fs::directory_iterator(fs::path(data) / "voices" / "!v", error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        variants.insert(it->path().filename().string());
    }
    return !languages.empty();
}

std::vector<OfferedVoice> offeredVoices(const NameSet& languages, const NameSet& variants)
{
    std::vector<OfferedVoice> offered;
    for (const VoiceChoice& choice : VoiceChoices) {
        if (!languages.contains(choice.language))
            continue;
        if (choice.variant != nullptr && !variants.contains(choice.variant))
            continue;
        std::string name = choice.language;
        if (choice.variant != nullptr)
            name += std::string("+") + choice.variant;
        offered.push_back({name, choice.description});
    }
    return offered;
}

// eSpeak lives in process globals: one engine at a time may own it.
std::mutex ownerMutex;
bool espeakOwned = false;
bool espeakInitialised = false;
int espeakSampleRate = 0;

}  // namespace

int espeakWordsPerMinute(int rate)
{
    rate = std::clamp(rate, -10, 10);
    if (rate <= 0)
        return static_cast<int>(
            std::lround(NormalWordsPerMinute + (NormalWordsPerMinute - SlowestWordsPerMinute) * rate / 10.0));
    return static_cast<int>(std::lround(NormalWordsPerMinute * std::pow(3.0, rate / 10.0)));
}

struct EspeakVoice::Worker {
    enum class Kind { Speak, Rate, Voice };
    struct Command {
        Kind kind;
        std::string text;        // Speak: UTF-8
        int value = 0;           // Rate: words per minute; Voice: list index
        std::uint64_t generation = 0;
    };

    std::unique_ptr<AudioSink> sink;
    bool available = false;
    bool ownsEspeak = false;
    int sampleRate = 0;
    std::vector<OfferedVoice> voices;

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Command> queue;
    bool flushPending = false;
    // Whether the sink opened when eSpeak was loaded; unset until then.
    std::optional<bool> firstOpen;
    bool busy = false;
    bool quit = false;
    // Bumped by skip(): a text of an older generation is not (or no longer) said.
    std::atomic<std::uint64_t> generation{0};

    // Worker-thread state.
    bool loaded = false;  // eSpeak loaded: false leaves the engine silent
    std::uint64_t speakingGeneration = 0;
    std::string currentVoice = DefaultVoice;
    int wordsPerMinute = NormalWordsPerMinute;

    std::thread thread;

    static Worker* current;  // the owner of eSpeak, for the C callback

    static int synthCallback(short* wav, int count, espeak_EVENT*)
    {
        Worker* self = current;
        if (self == nullptr)
            return 1;
        return self->deliver(wav, count);
    }

    // Hands the samples over in slices of at most 10 ms, so a skip is answered
    // before the next slice. Returning 1 makes eSpeak abort the text.
    int deliver(const short* wav, int count)
    {
        if (wav == nullptr)
            return 0;
        const int slice = std::max(1, sampleRate / 100);
        for (int done = 0; done < count; done += slice) {
            if (generation.load() != speakingGeneration)
                return 1;
            const int n = std::min(slice, count - done);
            // No exception may unwind through eSpeak's C frames.
            try {
                sink->write(std::span<const std::int16_t>(wav + done, static_cast<std::size_t>(n)));
            } catch (...) {
                return 1;
            }
        }
        return generation.load() != speakingGeneration ? 1 : 0;
    }

    void start(std::promise<void>& ready)
    {
        {
            std::lock_guard lock(ownerMutex);
            if (espeakOwned) {
                ready.set_value();
                return;
            }
            espeakOwned = true;
            ownsEspeak = true;
        }
        thread = std::thread([this, &ready] { run(ready); });
    }

    void run(std::promise<void>& ready)
    {
        listVoices();
        ready.set_value();
        if (!available)
            return;
        // Loading eSpeak takes tens of milliseconds, so it happens after the
        // engine's creator has gone on; texts given meanwhile wait.
        loaded = initialise();
        if (loaded) {
            current = this;
            espeak_SetSynthCallback(&Worker::synthCallback);
            // A previous owner may have left another voice or speed behind.
            if (espeak_SetVoiceByName(DefaultVoice) != EE_OK)
                currentVoice.clear();
            espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
            // Connect to the sound server now rather than at the first text.
            const bool opened = sink->open(sampleRate);
            std::lock_guard lock(mutex);
            firstOpen = opened;
        } else {
            std::lock_guard lock(mutex);
            firstOpen = false;
        }
        idle.notify_all();
        loop();
    }

    void listVoices()
    {
        NameSet languages, variants;
        if (!espeakInitialised)
            espeak_ng_InitializePath(nullptr);
        if (!listFromDataFolder(languages, variants)) {
            // Unknown layout: ask eSpeak, which must be loaded for that.
            if (!initialise())
                return;
            languages.clear();
            variants.clear();
            listThroughEspeak(languages, variants);
        }
        voices = offeredVoices(languages, variants);
        available = true;
    }

    bool initialise()
    {
        if (!espeakInitialised) {
            // DONT_EXIT: without it eSpeak ends the whole process when its
            // data cannot be loaded.
            const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                               espeakINITIALIZE_DONT_EXIT);
            if (rate <= 0)
                return false;
            espeakInitialised = true;
            espeakSampleRate = rate;
        }
        sampleRate = espeakSampleRate;
        return true;
    }

    void loop()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            busy = false;
            idle.notify_all();
            wake.wait(lock, [&] { return quit || flushPending || !queue.empty(); });
            if (quit)
                break;
            busy = true;
            if (flushPending) {
                flushPending = false;
                lock.unlock();
                sink->flush();
                lock.lock();
                continue;
            }
            Command command = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            execute(command);
            lock.lock();
        }
    }

    void execute(const Command& command)
    {
        switch (command.kind) {
        case Kind::Speak:
            say(command);
            break;
        case Kind::Rate:
            wordsPerMinute = command.value;
            if (loaded)
                espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
            break;
        case Kind::Voice:
            chooseOnThread(command.value);
            break;
        }
    }

    void chooseOnThread(int index)
    {
        if (!loaded)
            return;
        const std::string& name = voices[static_cast<std::size_t>(index)].name;
        if (espeak_SetVoiceByName(name.c_str()) == EE_OK) {
            currentVoice = name;
        } else if (!currentVoice.empty()) {
            espeak_SetVoiceByName(currentVoice.c_str());
        }
        espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
    }

    void say(const Command& command)
    {
        if (!loaded || command.generation != generation.load() || command.text.empty())
            return;
        if (!sink->open(sampleRate))
            return;  // nowhere to play: silent
        speakingGeneration = command.generation;
        espeak_Synth(command.text.c_str(), command.text.size() + 1, 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8, nullptr, nullptr);
    }

    void post(Command command)
    {
        {
            std::lock_guard lock(mutex);
            command.generation = generation.load();
            queue.push_back(std::move(command));
        }
        wake.notify_one();
    }

    void skip()
    {
        {
            std::lock_guard lock(mutex);
            // Texts go, settings stay: a speed or voice given before the skip
            // still applies to what is said after it.
            std::erase_if(queue, [](const Command& c) { return c.kind == Kind::Speak; });
            generation.fetch_add(1);
            flushPending = true;
        }
        wake.notify_one();
    }

    void waitUntilIdle()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [&] { return quit || (!busy && queue.empty() && !flushPending); });
    }

    bool soundReached()
    {
        std::unique_lock lock(mutex);
        idle.wait_for(lock, std::chrono::seconds(3), [&] { return quit || firstOpen.has_value(); });
        return firstOpen.value_or(false);
    }

    void stop()
    {
        if (!thread.joinable())
            return;
        {
            std::lock_guard lock(mutex);
            quit = true;
            generation.fetch_add(1);
        }
        wake.notify_one();
        idle.notify_all();
        thread.join();
    }

    ~Worker()
    {
        stop();
        if (ownsEspeak) {
            std::lock_guard lock(ownerMutex);
            current = nullptr;
            espeakOwned = false;
        }
    }
};

EspeakVoice::Worker* EspeakVoice::Worker::current = nullptr;

EspeakVoice::EspeakVoice(std::unique_ptr<AudioSink> sink) : worker_(std::make_unique<Worker>())
{
    worker_->sink = std::move(sink);
    if (!worker_->sink)
        return;
    std::promise<void> ready;
    auto done = ready.get_future();
    worker_->start(ready);
    done.wait();
}

EspeakVoice::~EspeakVoice() = default;

bool EspeakVoice::isAvailable() const { return worker_->available; }

int EspeakVoice::voiceCount()
{
    return worker_->available ? static_cast<int>(worker_->voices.size()) : -1;
}

std::string EspeakVoice::voiceDescription(int index)
{
    if (index < 0 || index >= static_cast<int>(worker_->voices.size()))
        return {};
    return worker_->voices[static_cast<std::size_t>(index)].description;
}

std::string EspeakVoice::voiceName(int index) const
{
    if (index < 0 || index >= static_cast<int>(worker_->voices.size()))
        return {};
    return worker_->voices[static_cast<std::size_t>(index)].name;
}

bool EspeakVoice::chooseVoice(int index)
{
    if (!worker_->available || index < 0 || index >= static_cast<int>(worker_->voices.size()))
        return false;
    worker_->post({Worker::Kind::Voice, {}, index});
    return true;
}

void EspeakVoice::speak(const std::string& text)
{
    if (worker_->available)
        worker_->post({Worker::Kind::Speak, cp1252ToUtf8(text), 0});
}

bool EspeakVoice::canMakeSound()
{
    return worker_->available && !worker_->voices.empty() && worker_->soundReached();
}

void EspeakVoice::skip()
{
    if (worker_->available)
        worker_->skip();
}

void EspeakVoice::setRate(int rate)
{
    if (worker_->available)
        worker_->post({Worker::Kind::Rate, {}, espeakWordsPerMinute(rate)});
}

void EspeakVoice::waitUntilIdle()
{
    if (worker_->available)
        worker_->waitUntilIdle();
}

std::unique_ptr<VoiceEngine> createEspeakVoice(std::unique_ptr<AudioSink> sink)
{
    return std::make_unique<EspeakVoice>(std::move(sink));
}

std::unique_ptr<VoiceEngine> createEspeakVoice()
{
    return createEspeakVoice(createPulseSink("brunzit"));
}

}  // namespace brunzit
