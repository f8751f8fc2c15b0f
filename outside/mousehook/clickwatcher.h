#pragma once
// Watches the pointer buttons of a whole X11 screen from a thread of its own.
// It listens to XInput2 raw button events on the root window: they are copies
// the server hands to every client that asks, so nothing is grabbed and every
// click still reaches the window under the pointer.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

typedef struct _XDisplay Display;

namespace brunzit {

class ClickWatcher {
public:
    // Called on the watcher's thread with the X button number of each press.
    using Sink = std::function<void(int button)>;

    ClickWatcher() = default;
    ~ClickWatcher();
    ClickWatcher(const ClickWatcher&) = delete;
    ClickWatcher& operator=(const ClickWatcher&) = delete;

    // Connects to displayName (empty: $DISPLAY) and starts watching. Every
    // press made after a successful return is seen. On failure nothing runs
    // and error says why.
    bool start(Sink sink, std::string& error, const std::string& displayName = {});

    // Wakes the thread and waits for it; no sink call happens after return.
    void stop();

    bool running() const { return thread_.joinable(); }

    // True once the connection to the display has broken; the thread has
    // then stopped watching on its own.
    bool displayLost() const { return displayLost_.load(); }

private:
    void run();
    void drainEvents();
    void dropDisplay();

    Display* display_ = nullptr;
    int xinputOpcode_ = 0;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    Sink sink_;
    std::thread thread_;
    std::atomic<bool> displayLost_ {false};
};

}  // namespace brunzit
