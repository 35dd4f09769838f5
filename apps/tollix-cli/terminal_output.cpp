#include "terminal_output.h"

namespace tollix {

std::string TerminalOutput::Escape(std::string_view field) {
    std::string escaped;
    escaped.reserve(field.size());
    for (const char c : field) {
        switch (c) {
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\\':
                escaped += "\\\\";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void TerminalOutput::WriteLine(std::initializer_list<std::string_view> fields) {
    std::string line;
    for (const std::string_view field : fields) {
        if (!line.empty()) {
            line += '\t';
        }
        line += Escape(field);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), events_);
    std::fflush(events_);
}

void TerminalOutput::Complain(const std::string& text) {
    std::fprintf(errors_, "tollix-cli: %s\n", text.c_str());
}

}  // namespace tollix
