#pragma once

#include <string_view>

namespace tollix {

// Start delimiters of the body keys as receivers read them; every value ends at "|".
namespace body_key {
inline constexpr std::string_view kClient = "|CLIENT=";
inline constexpr std::string_view kFirstName = "|FIRSTNAME=";
inline constexpr std::string_view kSecondName = "|SECONDNAME=";
inline constexpr std::string_view kGroup = "|GROUP=";
inline constexpr std::string_view kText = "|TEXT=";
}  // namespace body_key

// The trimmed value of one key in a decoded body: from the first occurrence of `key` to
// the next "|"; a missing key reads as empty. The body is left as it is. Cutting each value
// out after reading it (as ExtractBetween does) gives the same values for distinct keys:
// a value holds no "|", so cutting it out neither hides nor creates an occurrence of a key
// that starts with "|".
std::string_view BodyValue(std::string_view body, std::string_view key);

}  // namespace tollix
