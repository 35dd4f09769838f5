#pragma once

#include <cstddef>
#include <set>
#include <string>

namespace tollix {

// Incoming texts open conversation windows by themselves only while fewer than kMaxUntouched
// of the windows they opened wait for the user: such a window counts from the text that
// opens it until the user first activates or closes it. Without the bound, a host sending
// texts under made-up sender addresses would open a window per address until the desktop
// gave way; beyond it, texts are marked unread instead.
class WindowOpeningLimit {
public:
    static constexpr std::size_t kMaxUntouched = 10;

    // True when a text may open the window of `key` (the contact's address) now; it counts
    // from then on. A key that counts already may.
    bool TryOpen(const std::string& key);
    // The window of `key` was touched or closed, or will not be made after all.
    void Release(const std::string& key) { untouched_.erase(key); }

private:
    std::set<std::string> untouched_;
};

}  // namespace tollix
