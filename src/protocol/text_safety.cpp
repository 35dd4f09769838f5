#include "protocol/text_safety.h"

#include "protocol/text.h"

namespace tollix {

std::string ReplaceEnvelopeDelimiters(std::string_view text) {
    std::string safe = ReplaceAll(text, "|", "_");
    safe = ReplaceAll(safe, "<<<", "<_<");
    return ReplaceAll(safe, ">>>", ">_>");
}

std::string MakeTextSafe(std::string_view text) {
    return ReplaceEnvelopeDelimiters(Trim(text));
}

}  // namespace tollix
