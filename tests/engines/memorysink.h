#pragma once
// An audio sink that keeps every sample in memory. It can hold the engine
// inside one write (a gate) so a test can act while a text is half said.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "speech/audiosink.h"

namespace brunzit::test {

struct Recording {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::int16_t> samples;
    int sampleRate = 0;
    int writes = 0;
    int flushes = 0;
    std::size_t largestSlice = 0;
    std::atomic<bool> refuseOpen{false};
    // Gate: the write with this number (1-based) waits until released.
    int holdAtWrite = 0;
    bool holding = false;
    bool released = false;

    void holdAt(int write)
    {
        std::lock_guard lock(mutex);
        holdAtWrite = write;
    }
    int writesSoFar()
    {
        std::lock_guard lock(mutex);
        return writes;
    }
    // Waits until the engine sits in the held write.
    bool waitUntilHeld()
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return holding; });
    }
    void release()
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    std::vector<std::int16_t> take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(samples, {});
    }
};

class MemorySink : public AudioSink {
public:
    explicit MemorySink(std::shared_ptr<Recording> recording) : recording_(std::move(recording)) {}

    bool open(int sampleRate) override
    {
        std::lock_guard lock(recording_->mutex);
        recording_->sampleRate = sampleRate;
        return !recording_->refuseOpen;
    }
    void write(std::span<const std::int16_t> slice) override
    {
        std::unique_lock lock(recording_->mutex);
        Recording& r = *recording_;
        r.samples.insert(r.samples.end(), slice.begin(), slice.end());
        r.largestSlice = std::max(r.largestSlice, slice.size());
        if (++r.writes == r.holdAtWrite) {
            r.holding = true;
            r.changed.notify_all();
            r.changed.wait(lock, [&] { return r.released; });
            r.holding = false;
        }
    }
    void flush() override
    {
        std::lock_guard lock(recording_->mutex);
        ++recording_->flushes;
    }

private:
    std::shared_ptr<Recording> recording_;
};

}  // namespace brunzit::test
