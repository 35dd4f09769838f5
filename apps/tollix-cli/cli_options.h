#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace tollix {

// The terminal peer's command line. Identity and tunnel options apply to this run only.
struct CliOptions {
    QString configDir;  // empty: the user's configuration folder
    std::optional<std::string> firstName;
    std::optional<std::string> lastName;
    std::optional<std::string> groupName;
    std::vector<std::string> tunnels;
    std::optional<int> awayAfterSeconds;
    std::optional<std::pair<std::string, std::string>> send;  // address, text
    bool serve = false;      // a service: no commands read, runs until a signal
    bool history = false;    // keep the conversation history and answer `history`
    QString acceptFilesDir;  // not empty: every file offer is accepted into it
    bool help = false;
    bool version = false;
};

extern const char* const kCliUsage;

// Parses the arguments after the program name; on a mistake returns nothing and says why.
std::optional<CliOptions> ParseCliOptions(const QStringList& arguments, QString& error);

}  // namespace tollix
