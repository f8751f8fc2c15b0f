#include "outside/mousehook/clickwatcher.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <mutex>
#include <vector>

namespace brunzit {

namespace {

// Xlib's default answer to a broken connection is to end the whole process;
// the host must survive the loss of its click reports. The handler is global,
// so it answers for the watchers' own connections and hands every other one
// to whichever handler was there before (the host's, or Xlib's).
struct WatchedDisplays {
    std::mutex mutex;
    std::vector<Display*> displays;
};

// Never destroyed: a connection may break while the host is exiting.
WatchedDisplays& watched()
{
    static WatchedDisplays* instance = new WatchedDisplays;
    return *instance;
}

std::atomic<XIOErrorHandler> previousIoHandler {nullptr};

bool isWatched(Display* display)
{
    WatchedDisplays& w = watched();
    std::lock_guard lock(w.mutex);
    return std::find(w.displays.begin(), w.displays.end(), display) != w.displays.end();
}

int onIoError(Display* display)
{
    if (isWatched(display))
        return 0;
    const XIOErrorHandler previous = previousIoHandler.load();
    return previous ? previous(display) : 0;
}

void watchDisplay(Display* display)
{
    static std::once_flag installed;
    std::call_once(installed, [] { previousIoHandler.store(::XSetIOErrorHandler(onIoError)); });
    WatchedDisplays& w = watched();
    std::lock_guard lock(w.mutex);
    w.displays.push_back(display);
}

void unwatchDisplay(Display* display)
{
    WatchedDisplays& w = watched();
    std::lock_guard lock(w.mutex);
    w.displays.erase(std::remove(w.displays.begin(), w.displays.end(), display), w.displays.end());
}

// Called after the handler above for a watcher's connection; returning
// instead of exiting leaves the connection dead but the process alive.
void onDisplayLost(Display*, void* watcher)
{
    static_cast<std::atomic<bool>*>(watcher)->store(true);
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

ClickWatcher::~ClickWatcher()
{
    stop();
}

bool ClickWatcher::start(Sink sink, std::string& error, const std::string& displayName)
{
    if (running())
        return true;
    displayLost_ = false;

    display_ = ::XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display_) {
        error = "no X11 display to watch";
        return false;
    }
    watchDisplay(display_);
    ::XSetIOErrorExitHandler(display_, onDisplayLost, &displayLost_);

    // Raw events reach clients that do not grab the pointer from XInput 2.1 on.
    int event = 0;
    int errorBase = 0;
    int major = 2;
    int minor = 1;
    if (!::XQueryExtension(display_, "XInputExtension", &xinputOpcode_, &event, &errorBase)
        || ::XIQueryVersion(display_, &major, &minor) != Success || major < 2
        || (major == 2 && minor < 1)) {
        error = displayLost_ ? "the X11 display went away" : "the X11 display has no XInput 2.1";
        dropDisplay();
        return false;
    }

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask {};
    // Master devices only: each click arrives once, whichever mouse made it.
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    ::XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
    ::XSync(display_, False);

    int wake[2];
    if (displayLost_ || ::pipe2(wake, O_CLOEXEC) != 0) {
        error = displayLost_ ? "the X11 display went away" : "no pipe to wake the watcher";
        dropDisplay();
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    sink_ = std::move(sink);
    try {
        thread_ = std::thread(&ClickWatcher::run, this);
    } catch (const std::system_error&) {
        error = "no thread for the watcher";
        closeFd(wakeRead_);
        closeFd(wakeWrite_);
        dropDisplay();
        return false;
    }
    return true;
}

void ClickWatcher::stop()
{
    if (!thread_.joinable())
        return;
    const char byte = 0;
    while (::write(wakeWrite_, &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
    dropDisplay();
    sink_ = nullptr;
}

void ClickWatcher::dropDisplay()
{
    if (!display_)
        return;
    // A broken connection is left alone: closing it would run Xlib's error
    // path once more.
    if (!displayLost_)
        ::XCloseDisplay(display_);
    unwatchDisplay(display_);
    display_ = nullptr;
}

void ClickWatcher::drainEvents()
{
    while (!displayLost_ && ::XPending(display_) > 0) {
        XEvent event;
        ::XNextEvent(display_, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xinputOpcode_
            || !::XGetEventData(display_, cookie))
            continue;
        if (cookie->evtype == XI_RawButtonPress) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            sink_(raw->detail);
        }
        ::XFreeEventData(display_, cookie);
    }
}

void ClickWatcher::run()
{
    // An exception must not leave this thread: it would end the host.
    try {
        const int xfd = ConnectionNumber(display_);
        for (;;) {
            drainEvents();
            if (displayLost_)
                break;
            pollfd fds[2] = {{xfd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                std::fputs("BrunzitMouseHook: cannot wait for clicks; no more are reported\n", stderr);
                break;
            }
            if (fds[1].revents != 0)
                break;
            // The server hung up: stop here rather than through Xlib's error path.
            if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                displayLost_ = true;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "BrunzitMouseHook: %s; no more clicks are reported\n", e.what());
    }
    if (displayLost_)
        std::fputs("BrunzitMouseHook: the X11 display went away; no more clicks are reported\n", stderr);
}

}  // namespace brunzit
