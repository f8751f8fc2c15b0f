#include "speech/audiosink.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <optional>

namespace brunzit {

namespace {

// A failed connection is retried only after this pause, so a desktop without
// a sound server costs one quick refused connection now and then.
constexpr auto RetryPause = std::chrono::seconds(3);

class PulseSink : public AudioSink {
public:
    explicit PulseSink(std::string clientName) : clientName_(std::move(clientName)) {}
    ~PulseSink() override { close(); }

    bool open(int sampleRate) override
    {
        if (stream_ != nullptr && sampleRate == sampleRate_)
            return true;
        close();
        const auto now = std::chrono::steady_clock::now();
        if (failedAt_ && now - *failedAt_ < RetryPause)
            return false;
        const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(sampleRate), 1};
        const std::uint32_t bytesPerMs = static_cast<std::uint32_t>(sampleRate) * 2 / 1000;
        // A short server buffer keeps the start and the stop quick; playback
        // begins as soon as one 10 ms slice is there.
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = 40 * bytesPerMs;
        attr.prebuf = 10 * bytesPerMs;
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        int error = 0;
        stream_ = pa_simple_new(nullptr, clientName_.c_str(), PA_STREAM_PLAYBACK, nullptr, "speech",
                                &format, nullptr, &attr, &error);
        if (stream_ == nullptr) {
            failedAt_ = now;
            return false;
        }
        failedAt_.reset();
        sampleRate_ = sampleRate;
        return true;
    }

    void write(std::span<const std::int16_t> slice) override
    {
        if (stream_ == nullptr)
            return;
        int error = 0;
        if (pa_simple_write(stream_, slice.data(), slice.size_bytes(), &error) < 0) {
            // The server went away: give up this stream, open() tries again later.
            close();
            failedAt_ = std::chrono::steady_clock::now();
        }
    }

    void flush() override
    {
        if (stream_ != nullptr)
            pa_simple_flush(stream_, nullptr);
    }

private:
    void close()
    {
        if (stream_ != nullptr)
            pa_simple_free(stream_);
        stream_ = nullptr;
    }

    std::string clientName_;
    pa_simple* stream_ = nullptr;
    int sampleRate_ = 0;
    std::optional<std::chrono::steady_clock::time_point> failedAt_;
};

}  // namespace

std::unique_ptr<AudioSink> createPulseSink(const std::string& clientName)
{
    return std::make_unique<PulseSink>(clientName);
}

}  // namespace brunzit
