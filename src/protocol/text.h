#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text primitives shared by the codec and every reader of body keys. Wire text is UTF-8
// (or another ASCII-compatible charset): the delimiters are ASCII and never occur inside
// a multi-byte character, so plain byte searches step over such characters as units.
namespace tollix {

// White space as the C library's isspace sees it in the "C" locale.
bool IsBlank(char c);

// `text` without leading and trailing white space.
std::string_view Trim(std::string_view text);

// The trimmed value between the first `start` and the next `end` after it. Removes the
// start delimiter and the raw value from `text`, keeping the end delimiter so that it can
// start the next field. When either delimiter is missing the value is empty and `text`
// stays as it was.
std::string ExtractBetween(std::string& text, std::string_view start, std::string_view end);

// A number read the way the C library's atol reads it: leading white space, an optional
// sign, then decimal digits up to the first non-digit; no digits gives 0; no range check,
// the value wraps modulo 2^32.
std::int32_t ParseLong(std::string_view text);

// Byte-wise equality that ignores the case of ASCII letters.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Replaces every occurrence of `from`, scanning left to right without overlap and without
// scanning the replacement again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace tollix
