#pragma once

#include <cstdint>
#include <deque>

#include "core/clock.h"

namespace tollix {

// Incoming texts open conversation windows by themselves at most kMaxOpenings times in any
// kWindowSeconds seconds, counted over a sliding window of the last openings. Without it, a
// host sending texts under made-up sender addresses would open a window per address until
// the desktop gave way. The times are whole seconds, so an opening still counts while it
// may lie less than kWindowSeconds back: for up to one second longer.
class WindowOpeningLimit {
public:
    static constexpr int kMaxOpenings = 10;
    static constexpr std::int64_t kWindowSeconds = 60;

    explicit WindowOpeningLimit(const Clock& clock) : clock_(clock) {}

    // True, and counted, when one more window may open now.
    bool TryOpen();

private:
    const Clock& clock_;
    std::deque<std::int64_t> openings_;  // oldest first
};

}  // namespace tollix
