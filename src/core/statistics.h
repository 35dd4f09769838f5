#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tollix {

// Formats a number of seconds: "%D" whole days, "%H" hours within the day, "%M" minutes
// within the hour and "%S" seconds within the minute (the last three with two digits),
// "%%" a percent sign; any other "%x" is dropped and every other character copied.
std::string FormatTimeSpan(std::int64_t seconds, std::string_view format);

}  // namespace tollix
