#include "platform/ticks.h"

#include <ctime>

namespace brunzit {

std::int64_t tickCountMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace brunzit
