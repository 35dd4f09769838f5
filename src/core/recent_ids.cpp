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

}  // namespace tollix
