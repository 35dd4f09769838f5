#include "core/statistics.h"

#include <cstdio>

#include "core/tollix_app.h"

namespace tollix {

namespace {

void AppendNumber(std::string& out, std::int64_t value, bool twoDigits) {
    char digits[32];
    const int length = std::snprintf(digits, sizeof digits, twoDigits ? "%02lld" : "%lld",
                                     static_cast<long long>(value));
    out.append(digits, static_cast<std::size_t>(length));
}

}  // namespace

std::string FormatTimeSpan(std::int64_t seconds, std::string_view format) {
    const std::int64_t days = seconds / 86400;
    std::string result;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            result += format[i];
            continue;
        }
        switch (format[++i]) {
            case 'D':
                AppendNumber(result, days, false);
                break;
            case 'H':
                AppendNumber(result, seconds / 3600 - days * 24, true);
                break;
            case 'M':
                AppendNumber(result, seconds / 60 - (seconds / 3600) * 60, true);
                break;
            case 'S':
                AppendNumber(result, seconds - (seconds / 60) * 60, true);
                break;
            case '%':
                result += '%';
                break;
            default:
                break;  // an unknown directive is dropped with its "%"
        }
    }
    return result;
}

std::string CTollixApp::BuildStatisticsText(bool lineBreak) const {
    const std::string separator = lineBreak ? "\r\n" : "\n";
    const auto line = [&](const std::string& label, std::int32_t packets, std::int32_t bytes) {
        return label + std::to_string(packets) + "(" + std::to_string(bytes) + ")" + separator;
    };
    return "Up-time: " + FormatTimeSpan(clock_.Now() - stats_.startTime, "%Dd:%Hh:%Mm:%Ss") +
           separator +
           line("Received packets(bytes): ", stats_.receivedPackets, stats_.receivedBytes) +
           line("Processed packets(bytes): ", stats_.processedPackets, stats_.processedBytes) +
           line("Message packets(bytes): ", stats_.messagePackets, stats_.messageBytes) +
           "Contacts amount: " + std::to_string(contacts_.ContactCount()) + separator +
           "Tunnels amount: " + std::to_string(settings_.TunnelCount()) + separator;
}

}  // namespace tollix
