#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

}  // namespace tollix
