#pragma once
// Switch filtering for users with tremor: a press counts only when held at
// least the acceptance time, and none counts during the lockout after an
// accepted one. Without a lockout set, mouse-click control keeps its fixed
// quiet second.

#include <cstdint>
#include <limits>

namespace brunzit {

struct SwitchTiming {
    static constexpr int MaxAcceptanceMs = 1000;
    static constexpr int MaxLockoutMs = 3000;
    int acceptanceMs = 0;
    int lockoutMs = -1;  // -1: not set
    bool operator==(const SwitchTiming&) const = default;
};

class SwitchFilter {
public:
    void setTiming(SwitchTiming timing) { timing_ = timing; }
    const SwitchTiming& timing() const { return timing_; }
    // A press from `down` to `up` (ms); a click report has no length and
    // passes the acceptance time as if held long enough.
    bool accept(std::int64_t down, std::int64_t up, bool measured = true)
    {
        if (measured && up - down < timing_.acceptanceMs)
            return false;
        if (down < lockedUntil_)
            return false;
        if (timing_.lockoutMs > 0)
            lockedUntil_ = up + timing_.lockoutMs;
        return true;
    }

private:
    SwitchTiming timing_;
    std::int64_t lockedUntil_ = std::numeric_limits<std::int64_t>::min();
};

}  // namespace brunzit
