#include "outside/mousehook/brunzitmousehook.h"

#include "outside/mousehook/clickreport.h"
#include "outside/mousehook/clickwatcher.h"
#include "platform/paths.h"
#include "platform/profilefile.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

namespace {

struct Hook {
    std::mutex mutex;
    std::unique_ptr<brunzit::ClickWatcher> watcher;
    bool failureSaid = false;
};

// Never destroyed: a host may call UnHookHook from its own exit path, after
// the library's static objects would otherwise be gone.
Hook& hook()
{
    static Hook* instance = new Hook;
    return *instance;
}

void sayFailureOnce(Hook& h, const std::string& why)
{
    if (h.failureSaid)
        return;
    h.failureSaid = true;
    std::fprintf(stderr, "BrunzitMouseHook: %s; clicks are not reported\n", why.c_str());
}

}  // namespace

extern "C" int SetHook(unsigned long /*window*/)
{
    try {
        Hook& h = hook();
        std::lock_guard lock(h.mutex);
        if (h.watcher && h.watcher->running() && !h.watcher->displayLost())
            return 1;
        h.watcher.reset();
        auto watcher = std::make_unique<brunzit::ClickWatcher>();
        // The path is taken now: the host may change its environment later.
        brunzit::ProfileFile settings(brunzit::sharedSettingsPath());
        std::string error;
        const bool started = watcher->start(
            [settings](int button) { brunzit::reportClick(settings, button); }, error);
        if (!started) {
            sayFailureOnce(h, error);
            return 0;
        }
        h.watcher = std::move(watcher);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "BrunzitMouseHook: %s; clicks are not reported\n", e.what());
        return 0;
    }
}

extern "C" void UnHookHook(void)
{
    Hook& h = hook();
    std::lock_guard lock(h.mutex);
    h.watcher.reset();
}
