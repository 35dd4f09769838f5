#include "core/window_opening_limit.h"

namespace tollix {

bool WindowOpeningLimit::TryOpen() {
    const std::int64_t now = clock_.Now();
    while (!openings_.empty() && now - openings_.front() > kWindowSeconds) {
        openings_.pop_front();
    }
    // A clock set back would otherwise keep the old openings for as long as it went back.
    while (!openings_.empty() && openings_.back() > now) {
        openings_.pop_back();
    }
    if (openings_.size() >= static_cast<std::size_t>(kMaxOpenings)) {
        return false;
    }
    openings_.push_back(now);
    return true;
}

}  // namespace tollix
