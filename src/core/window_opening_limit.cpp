#include "core/window_opening_limit.h"

namespace tollix {

bool WindowOpeningLimit::TryOpen(const std::string& key) {
    if (untouched_.size() >= kMaxUntouched && !untouched_.contains(key)) {
        return false;
    }
    untouched_.insert(key);
    return true;
}

}  // namespace tollix
