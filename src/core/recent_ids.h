#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>

namespace tollix {

// The IDs of the last 100 new messages heard on multicast; a message whose ID is among
// them is a duplicate. It starts out holding 100 zeros, so until 100 new messages have
// pushed them out a message with ID 0 counts as seen. Kept as a ring: inserting at the
// front drops the oldest at the back.
class RecentIdWindow {
public:
    static constexpr std::size_t kSize = 100;

    bool Contains(std::int32_t id) const;
    void Insert(std::int32_t id);

private:
    std::array<std::int32_t, kSize> ids_{};
    std::size_t oldest_ = 0;
};

// The IDs of the texts this copy sent and has not yet heard back. A text that names this
// host as its sender is this copy's own only when its ID is here: anyone on the LAN can
// put this host's address into FROM. An ID is kept until its text is heard back, for at
// most a minute (an echo takes milliseconds, a relayed one a name look-up at most), and
// only the newest 256 are kept, so that a script that sends fast never grows the list.
class SentTextIds {
public:
    static constexpr std::size_t kMaxIds = 256;
    static constexpr std::int64_t kKeepSeconds = 60;

    void Add(std::int32_t id, std::int64_t now);
    // True once for an ID added in the last minute; the ID is then forgotten, so that a
    // copy of the text replayed later is not taken for this copy's own again.
    bool TakeIfSent(std::int32_t id, std::int64_t now);

private:
    void ForgetOld(std::int64_t now);

    std::deque<std::pair<std::int32_t, std::int64_t>> ids_;  // ID and time sent, oldest first
};

}  // namespace tollix
