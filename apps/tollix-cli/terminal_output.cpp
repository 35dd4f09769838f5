#include "terminal_output.h"

namespace tollix {

namespace {

// The bytes of a C0 control or DEL, written \xHH.
bool IsControlByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f;
}

// The lead byte of a C1 control character (U+0080 to U+009F) in UTF-8, which some
// terminals obey like ESC [ and its kind: its two bytes are written \xHH each.
bool StartsC1Control(std::string_view field, std::size_t at) {
    return static_cast<unsigned char>(field[at]) == 0xc2 && at + 1 < field.size() &&
           static_cast<unsigned char>(field[at + 1]) >= 0x80 &&
           static_cast<unsigned char>(field[at + 1]) <= 0x9f;
}

void AppendHex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xf];
}

}  // namespace

std::string TerminalOutput::Escape(std::string_view field) {
    std::string escaped;
    escaped.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        switch (byte) {
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '\\':
                escaped += "\\\\";
                break;
            default:
                if (IsControlByte(byte)) {
                    AppendHex(escaped, byte);
                } else if (StartsC1Control(field, i)) {
                    AppendHex(escaped, byte);
                    AppendHex(escaped, static_cast<unsigned char>(field[++i]));
                } else {
                    escaped += field[i];
                }
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
