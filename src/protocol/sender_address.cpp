#include "protocol/sender_address.h"

namespace tollix {

bool IsDottedQuad(std::string_view text) {
    int octets = 0;
    std::size_t i = 0;
    while (true) {
        const std::size_t first = i;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - first < 3) {
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        const std::size_t digits = i - first;
        if (digits == 0 || value > 255 || (digits > 1 && text[first] == '0')) {
            return false;
        }
        if (++octets == 4) {
            return i == text.size();
        }
        if (i == text.size() || text[i] != '.') {
            return false;
        }
        ++i;
    }
}

bool HasValidSender(const NetMessage& message) {
    return message.fromPort >= 0 && message.fromPort <= 65535 && IsDottedQuad(message.from);
}

}  // namespace tollix
