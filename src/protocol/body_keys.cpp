#include "protocol/body_keys.h"

#include "protocol/text.h"

namespace tollix {

std::string ReadBodyKey(std::string& body, std::string_view key) {
    return ExtractBetween(body, key, "|");
}

}  // namespace tollix
