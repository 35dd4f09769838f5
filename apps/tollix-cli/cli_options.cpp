#include "cli_options.h"

namespace tollix {

const char* const kCliUsage =
    "Usage: tollix-cli [--config DIR] [--first NAME] [--last NAME] [--group NAME]\n"
    "                  [--tunnel HOST]... [--away-after SECONDS] [--send ADDRESS TEXT]\n"
    "                  [--serve]\n"
    "                  [--history] [--accept-files DIR]\n"
    "\n"
    "A Tollix peer on the terminal. It connects at once and runs until 'quit' or the end\n"
    "of its input; with --send it sends one text and exits.\n"
    "\n"
    "  --config DIR          settings from DIR/Quardell/Tollix.conf (read, never written)\n"
    "  --first/--last/--group NAME\n"
    "                        the user's identity for this run\n"
    "  --tunnel HOST         an extra tunnel for this run (repeatable)\n"
    "  --away-after SECONDS  go away after SECONDS without a command\n"
    "  --send ADDRESS TEXT   connect, send TEXT to ADDRESS, wait until it is delivered\n"
    "                        (private) or heard back (open), at most 10 s, disconnect\n"
    "  --serve               a service (relay): read no commands, run until SIGTERM\n"
    "                        or SIGINT; say goodbye before the computer sleeps\n"
    "  --history             keep the conversation history (DATA/Quardell/Tollix/\n"
    "                        history.sqlite; DATA is --config DIR or ~/.local/share)\n"
    "  --accept-files DIR    accept every file offered into DIR\n"
    "  --help, --version\n"
    "\n"
    "Commands, one a line: send ADDRESS TEXT, away, online, connect, disconnect,\n"
    "contacts, stats, code, trust ADDRESS, quit. In TEXT, \\n is a line break, \\t a TAB, \\r a "
    "carriage\n"
    "return, \\\\ a backslash and \\xHH the byte HH (hexadecimal).\n"
    "With --history also: history ADDRESS [N] (the last N texts, 20 by default).\n"
    "Files (over private sessions): sendfile ADDRESS PATH..., accept ID [DIR] (DIR: the\n"
    "download folder by default), decline ID, cancel ID. In PATH, \\x20 is a blank.\n"
    "\n"
    "Events, one a line, fields separated by TAB. Inside a field a line break is\n"
    "written \\n, a TAB \\t, a carriage return \\r, a backslash \\\\ and every other\n"
    "control character \\xHH, byte by byte (ESC \\x1b, U+009B \\xc2\\x9b):\n"
    "  contact ADDRESS PRESENCE GROUP FIRST LAST CLIENT\n"
    "  text in|out ADDRESS NAME TEXT private|open|unverified\n"
    "  delivered ADDRESS\n"
    "  waiting ADDRESS TEXT\n"
    "  session ADDRESS private CODE|open|changed CODE\n"
    "  code CODE\n"
    "  alert TEXT\n"
    "  state connected|disconnected online|away|offline\n"
    "  history TIME in|out ADDRESS NAME TEXT   (TIME in ISO 8601, UTC)\n"
    "  file offer ID ADDRESS NAME SIZE         (a line for each file offered to this copy)\n"
    "  file sending ID ADDRESS NAME SIZE       (a line for each file this copy offers)\n"
    "  file progress ID BYTES                  (at most four a second)\n"
    "  file done ID PATH SHA256\n"
    "  file failed ID REASON\n";

std::optional<CliOptions> ParseCliOptions(const QStringList& arguments, QString& error) {
    CliOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        const auto takeValue = [&](QString& value) {
            if (i + 1 >= arguments.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        QString value;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--history") {
            options.history = true;
        } else if (name == "--config") {
            if (!takeValue(options.configDir)) {
                return std::nullopt;
            }
        } else if (name == "--first" || name == "--last" || name == "--group" ||
                   name == "--tunnel") {
            if (!takeValue(value)) {
                return std::nullopt;
            }
            const std::string text = value.toStdString();
            if (name == "--first") {
                options.firstName = text;
            } else if (name == "--last") {
                options.lastName = text;
            } else if (name == "--group") {
                options.groupName = text;
            } else if (text.empty()) {
                error = "--tunnel needs a host";
                return std::nullopt;
            } else {
                options.tunnels.push_back(text);
            }
        } else if (name == "--away-after") {
            if (!takeValue(value)) {
                return std::nullopt;
            }
            bool isNumber = false;
            const int seconds = value.toInt(&isNumber);
            if (!isNumber || seconds < 1) {
                error = "--away-after needs a whole number of seconds, 1 or more";
                return std::nullopt;
            }
            options.awayAfterSeconds = seconds;
        } else if (name == "--send") {
            if (i + 2 >= arguments.size()) {
                error = "--send needs an ADDRESS and a TEXT";
                return std::nullopt;
            }
            options.send.emplace(arguments[i + 1].toStdString(), arguments[i + 2].toStdString());
            i += 2;
        } else if (name == "--accept-files") {
            if (!takeValue(options.acceptFilesDir)) {
                return std::nullopt;
            }
            if (options.acceptFilesDir.isEmpty()) {
                error = "--accept-files needs a folder";
                return std::nullopt;
            }
        } else if (name == "--serve") {
            options.serve = true;
        } else {
            error = "unknown argument " + name;
            return std::nullopt;
        }
    }
    if (options.serve && options.send) {
        error = "--serve and --send exclude each other";
        return std::nullopt;
    }
    return options;
}

}  // namespace tollix
