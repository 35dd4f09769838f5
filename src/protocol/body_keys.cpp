#include "protocol/body_keys.h"

#include "protocol/text.h"

namespace tollix {

std::string_view BodyValue(std::string_view body, std::string_view key) {
    const std::size_t start = body.find(key);
    if (start == std::string_view::npos) {
        return {};
    }
    const std::size_t valueBegin = start + key.size();
    const std::size_t end = body.find('|', valueBegin);
    if (end == std::string_view::npos) {
        return {};
    }
    return Trim(body.substr(valueBegin, end - valueBegin));
}

}  // namespace tollix
