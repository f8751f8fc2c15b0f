#include "speech/speechdvoice.h"

#include <speech-dispatcher/libspeechd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <pthread.h>

#include "platform/cp1252.h"

namespace brunzit {

namespace {

struct VoiceType {
    const char* language;
    SPDVoiceType type;
    const char* description;
};

constexpr VoiceType VoiceTypes[] = {
    {"ca", SPD_MALE1, "Speech Dispatcher - Catal\xE0, home"},
    {"ca", SPD_FEMALE1, "Speech Dispatcher - Catal\xE0, dona"},
    {"es", SPD_MALE1, "Speech Dispatcher - Castell\xE0, home"},
    {"es", SPD_FEMALE1, "Speech Dispatcher - Castell\xE0, dona"},
};
constexpr int VoiceTypeCount = static_cast<int>(std::size(VoiceTypes));

// A refused connection is tried again only after this pause.
constexpr auto RetryPause = std::chrono::seconds(5);
// How long listing waits for the daemon to answer: past it the daemon counts
// as unreachable and none of its entries is offered.
constexpr auto AnswerWait = std::chrono::seconds(3);
// How long it then waits for the daemon's voice list. A daemon with the
// eSpeak NG module lists over ten thousand voices, which can take many
// seconds on a busy machine: past this wait every voice type is offered and
// the daemon picks its voice for the language.
constexpr auto ListWait = std::chrono::milliseconds(1500);
// How long the destructor waits for the worker before leaving it to finish
// on its own (it may be inside a connection attempt).
constexpr auto ShutdownWait = std::chrono::milliseconds(300);

}  // namespace

// Shared by the engine and its worker thread, so the thread can outlive the
// engine when it is stuck in libspeechd at shutdown.
struct SpeechdVoice::Worker : std::enable_shared_from_this<Worker> {
    enum class Kind { Speak, Cancel, Rate, Voice };
    struct Command {
        Kind kind;
        std::string text;  // Speak: UTF-8
        int value = 0;     // Rate: -100..100; Voice: index
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable settled;
    std::deque<Command> queue;
    bool busy = true;  // until the first connection attempt has ended
    bool quit = false;
    bool finished = false;
    bool connected = false;
    bool startDaemon = true;
    // Set once the first connection attempt is over, and once the daemon's
    // voice list has come (on a connection of its own, so speaking does not
    // wait behind it).
    bool answerKnown = false;
    bool listed = false;
    // The entries of VoiceTypes whose language the daemon has a voice for.
    std::vector<int> offered;

    // Worker-thread state.
    SPDConnection* connection = nullptr;
    std::optional<std::chrono::steady_clock::time_point> failedAt;
    int rate = 0;
    int voice = -1;

    static void run(std::shared_ptr<Worker> self) { self->loop(); }

    void loop()
    {
        // A daemon that goes away must not kill the program with SIGPIPE; the
        // mask is inherited by libspeechd's own reader thread.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

        connect();
        if (connection != nullptr)
            startListing();
        std::unique_lock lock(mutex);
        answerKnown = true;
        settled.notify_all();
        for (;;) {
            busy = false;
            settled.notify_all();
            wake.wait(lock, [&] { return quit || !queue.empty(); });
            if (quit)
                break;
            busy = true;
            Command command = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            execute(command);
            lock.lock();
        }
        lock.unlock();
        disconnect();
        lock.lock();
        finished = true;
        settled.notify_all();
    }

    void connect()
    {
        char* error = nullptr;
        // The address comes from SPEECHD_ADDRESS or the default socket.
        connection = spd_open2("brunzit", "main", nullptr, SPD_MODE_THREADED, nullptr,
                               startDaemon ? 1 : 0, &error);
        std::free(error);  // libspeechd hands the message over in malloc'd memory
        if (connection == nullptr) {
            failedAt = std::chrono::steady_clock::now();
        } else {
            failedAt.reset();
            spd_set_voice_rate(connection, rate);
            applyVoice();
        }
        std::lock_guard lock(mutex);
        connected = connection != nullptr;
    }

    void startListing()
    {
        try {
            std::thread([self = shared_from_this()] { self->list(); }).detach();
        } catch (const std::system_error&) {
            // No list: every voice type is offered.
        }
    }

    void list()
    {
        char* error = nullptr;
        SPDConnection* listing = spd_open2("brunzit", "voices", nullptr, SPD_MODE_SINGLE, nullptr, 0, &error);
        std::free(error);
        if (listing == nullptr)
            return;
        std::vector<int> types = offeredTypes(listing);
        spd_close(listing);
        std::lock_guard lock(mutex);
        offered = std::move(types);
        listed = true;
        settled.notify_all();
    }

    // The voice types of the languages the daemon can really speak.
    static std::vector<int> offeredTypes(SPDConnection* listing)
    {
        bool catalan = false, spanish = false;
        if (SPDVoice** voices = spd_list_synthesis_voices(listing)) {
            for (SPDVoice** v = voices; *v != nullptr; ++v) {
                const std::string language = (*v)->language ? (*v)->language : "";
                const std::string base = language.substr(0, language.find_first_of("-_"));
                catalan = catalan || base == "ca";
                spanish = spanish || base == "es";
            }
            free_spd_voices(voices);
        }
        std::vector<int> types;
        for (int i = 0; i < VoiceTypeCount; ++i) {
            const std::string language = VoiceTypes[i].language;
            if ((language == "ca" && catalan) || (language == "es" && spanish))
                types.push_back(i);
        }
        return types;
    }

    // What the daemon offers, or nothing when it has not answered in time.
    std::vector<int> waitForOffer()
    {
        std::unique_lock lock(mutex);
        settled.wait_for(lock, AnswerWait, [&] { return answerKnown || finished; });
        if (!connected)
            return {};
        if (settled.wait_for(lock, ListWait, [&] { return listed; }))
            return offered;
        std::vector<int> all(VoiceTypeCount);
        for (int i = 0; i < VoiceTypeCount; ++i)
            all[static_cast<std::size_t>(i)] = i;
        return all;
    }

    void disconnect()
    {
        if (connection != nullptr)
            spd_close(connection);
        connection = nullptr;
        std::lock_guard lock(mutex);
        connected = false;
    }

    bool ensureConnected()
    {
        if (connection != nullptr)
            return true;
        if (failedAt && std::chrono::steady_clock::now() - *failedAt < RetryPause)
            return false;
        connect();
        return connection != nullptr;
    }

    void applyVoice()
    {
        if (voice < 0)
            return;
        const VoiceType& type = VoiceTypes[voice];
        spd_set_language(connection, type.language);
        spd_set_voice_type(connection, type.type);
    }

    void execute(const Command& command)
    {
        switch (command.kind) {
        case Kind::Speak:
            if (ensureConnected() && spd_say(connection, SPD_MESSAGE, command.text.c_str()) < 0) {
                // Most likely the daemon is gone: start afresh on a later text.
                disconnect();
                failedAt = std::chrono::steady_clock::now();
            }
            break;
        case Kind::Cancel:
            if (connection != nullptr)
                spd_cancel(connection);  // this connection only, never *_all
            break;
        case Kind::Rate:
            rate = command.value;
            if (connection != nullptr)
                spd_set_voice_rate(connection, rate);
            break;
        case Kind::Voice:
            voice = command.value;
            if (connection != nullptr)
                applyVoice();
            break;
        }
    }

    void post(Command command)
    {
        {
            std::lock_guard lock(mutex);
            queue.push_back(std::move(command));
        }
        wake.notify_one();
    }

    void skip()
    {
        {
            std::lock_guard lock(mutex);
            // Texts not yet sent go; settings stay, in the order given.
            std::erase_if(queue, [](const Command& c) { return c.kind == Kind::Speak; });
            queue.push_back({Kind::Cancel, {}, 0});
        }
        wake.notify_one();
    }

    bool waitUntilSent()
    {
        std::unique_lock lock(mutex);
        settled.wait(lock, [&] { return finished || (!busy && queue.empty()); });
        return connected;
    }

    void shutDown()
    {
        std::unique_lock lock(mutex);
        quit = true;
        queue.clear();
        wake.notify_one();
        settled.wait_for(lock, ShutdownWait, [&] { return finished; });
    }
};

SpeechdVoice::SpeechdVoice(bool startDaemon) : worker_(std::make_shared<Worker>())
{
    worker_->startDaemon = startDaemon;
    try {
        std::thread(&Worker::run, worker_).detach();
    } catch (const std::system_error&) {
        // No thread, no speech: the engine stays silent.
        std::lock_guard lock(worker_->mutex);
        worker_->finished = true;
    }
}

SpeechdVoice::~SpeechdVoice() { worker_->shutDown(); }

bool SpeechdVoice::isAvailable() const { return true; }

int SpeechdVoice::voiceCount()
{
    if (!listed_)
        listed_ = worker_->waitForOffer();
    return static_cast<int>(listed_->size());
}

std::string SpeechdVoice::voiceDescription(int index)
{
    if (index < 0 || index >= voiceCount())
        return {};
    return VoiceTypes[(*listed_)[static_cast<std::size_t>(index)]].description;
}

bool SpeechdVoice::chooseVoice(int index)
{
    if (index < 0 || index >= voiceCount())
        return false;
    worker_->post({Worker::Kind::Voice, {}, (*listed_)[static_cast<std::size_t>(index)]});
    return true;
}

bool SpeechdVoice::canMakeSound() { return voiceCount() > 0; }

void SpeechdVoice::speak(const std::string& text)
{
    if (!text.empty())
        worker_->post({Worker::Kind::Speak, cp1252ToUtf8(text), 0});
}

void SpeechdVoice::skip() { worker_->skip(); }

void SpeechdVoice::setRate(int rate)
{
    worker_->post({Worker::Kind::Rate, {}, std::clamp(rate, -10, 10) * 10});
}

bool SpeechdVoice::waitUntilSent() { return worker_->waitUntilSent(); }

std::unique_ptr<VoiceEngine> createSpeechdVoice() { return std::make_unique<SpeechdVoice>(); }

}  // namespace brunzit
