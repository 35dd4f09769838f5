#pragma once

#include <string>
#include <string_view>

namespace tollix {

// Start delimiters of the body keys as receivers read them; every value ends at "|".
namespace body_key {
inline constexpr std::string_view kClient = "|CLIENT=";
inline constexpr std::string_view kFirstName = "|FIRSTNAME=";
inline constexpr std::string_view kSecondName = "|SECONDNAME=";
inline constexpr std::string_view kGroup = "|GROUP=";
inline constexpr std::string_view kTo = "|TO=";
inline constexpr std::string_view kText = "|TEXT=";
}  // namespace body_key

// Reads one key from a decoded body and removes it from there; a missing key reads as
// the empty string. Read keys only after the message has been passed on, since reading
// changes the body.
std::string ReadBodyKey(std::string& body, std::string_view key);

}  // namespace tollix
