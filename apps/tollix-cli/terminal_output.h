#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tollix {

// Writes one event a line to standard output: fields separated by TAB, and inside a field
// a line break written as \n, a TAB as \t, a carriage return as \r, a backslash as \\ and
// every other control character as \xHH, one per byte (ESC as \x1b, DEL as \x7f, and
// U+0080 to U+009F as the two bytes of their UTF-8, \xc2\x80 to \xc2\x9f). So every event
// stays one line, and nothing from the network can move the cursor, recolour or retitle
// the terminal. Flushed after every line so that scripts see events at once.
class TerminalOutput {
public:
    explicit TerminalOutput(std::FILE* events = stdout, std::FILE* errors = stderr)
        : events_(events), errors_(errors) {}

    static std::string Escape(std::string_view field);
    void WriteLine(std::initializer_list<std::string_view> fields);
    // A mistake in a command, for the user on standard error: "tollix-cli: " and `text`.
    void Complain(const std::string& text);

private:
    std::FILE* events_;
    std::FILE* errors_;
};

}  // namespace tollix
