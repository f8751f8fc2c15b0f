#pragma once
// GetTickCount in 64 bits: a 32-bit tick wraps after 24.8 days and breaks
// "now < deadline" comparisons.

#include <cstdint>

namespace brunzit {

std::int64_t tickCountMs();  // monotonic milliseconds

}  // namespace brunzit
