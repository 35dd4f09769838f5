#include "protocol/net_message.h"

#include <algorithm>

namespace tollix {

std::string_view NetMessage::Magic() const {
    const auto end = std::find(magic.begin(), magic.end(), '\0');
    return {magic.data(), static_cast<std::size_t>(end - magic.begin())};
}

void NetMessage::SetMagic(std::string_view value) {
    magic.fill('\0');
    const std::size_t count = std::min(value.size(), magic.size() - 1);
    std::copy_n(value.begin(), count, magic.begin());
}

}  // namespace tollix
