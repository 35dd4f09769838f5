#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tollix {

// Writes one event a line to standard output: fields separated by TAB, and inside a field
// a line break written as \n, a TAB as \t and a backslash as \\, so that every event stays
// one line. Flushed after every line so that scripts see events at once.
class TerminalOutput {
public:
    static std::string Escape(std::string_view field);
    void WriteLine(std::initializer_list<std::string_view> fields);
};

}  // namespace tollix
