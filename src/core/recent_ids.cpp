#include "core/recent_ids.h"

#include <algorithm>

namespace tollix {

bool RecentIdWindow::Contains(std::int32_t id) const {
    return std::find(ids_.begin(), ids_.end(), id) != ids_.end();
}

void RecentIdWindow::Insert(std::int32_t id) {
    ids_[oldest_] = id;
    oldest_ = (oldest_ + 1) % kSize;
}

void SentTextIds::Add(std::int32_t id, std::int64_t now) {
    ForgetOld(now);
    if (ids_.size() == kMaxIds) {
        ids_.pop_front();
    }
    ids_.emplace_back(id, now);
}

bool SentTextIds::TakeIfSent(std::int32_t id, std::int64_t now) {
    ForgetOld(now);
    const auto found =
        std::find_if(ids_.begin(), ids_.end(), [id](const auto& sent) { return sent.first == id; });
    if (found == ids_.end()) {
        return false;
    }
    ids_.erase(found);
    return true;
}

void SentTextIds::ForgetOld(std::int64_t now) {
    // A clock set back keeps nothing for longer than a minute either.
    while (!ids_.empty() &&
           (now - ids_.front().second >= kKeepSeconds || ids_.front().second > now)) {
        ids_.pop_front();
    }
}

}  // namespace tollix
