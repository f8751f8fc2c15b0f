#pragma once
// A sink that behaves like a sound device for timing: it drains in real time
// and makes the writer wait while more than its buffer is queued, as the
// PulseAudio simple API does. It notes when samples and flushes arrive.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "speech/audiosink.h"

namespace brunzit::bench {

using Clock = std::chrono::steady_clock;

struct SinkTimes {
    std::atomic<long long> firstWrite{0};  // ns since epoch of Clock; 0 = none yet
    std::atomic<long long> lastFlush{0};
    std::atomic<long long> samples{0};
};

inline long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

class TimedSink : public AudioSink {
public:
    TimedSink(SinkTimes& times, std::chrono::milliseconds buffer) : times_(times), buffer_(buffer) {}

    bool open(int sampleRate) override
    {
        sampleRate_ = sampleRate;
        return true;
    }
    void write(std::span<const std::int16_t> slice) override
    {
        long long expected = 0;
        times_.firstWrite.compare_exchange_strong(expected, nowNs());
        times_.samples += static_cast<long long>(slice.size());
        const auto now = Clock::now();
        playedUntil_ = std::max(playedUntil_, now);
        playedUntil_ += std::chrono::nanoseconds(1'000'000'000LL * static_cast<long long>(slice.size()) / sampleRate_);
        if (playedUntil_ - now > buffer_)
            std::this_thread::sleep_until(playedUntil_ - buffer_);
    }
    void flush() override
    {
        playedUntil_ = Clock::now();
        times_.lastFlush = nowNs();
    }

private:
    SinkTimes& times_;
    std::chrono::milliseconds buffer_;
    int sampleRate_ = 22050;
    Clock::time_point playedUntil_{};
};

}  // namespace brunzit::bench
