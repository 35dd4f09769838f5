// tollix-cli: a terminal peer. It joins the group, announces its user and prints every
// envelope it hears, its own included, field by field.
#include <QCoreApplication>
#include <QSettings>
#include <cstdio>
#include <string>
#include <utility>

#include "input_lines.h"
#include "net/channel_events.h"
#include "net/multicast_socket.h"
#include "protocol/message_codec.h"
#include "terminal_output.h"

namespace {

using namespace tollix;

constexpr const char* kUsage =
    "Usage: tollix-cli [--config DIR] [--first NAME] [--last NAME] [--group NAME]\n"
    "Joins the Tollix group, announces the user and prints what it hears.\n"
    "Commands on standard input: quit\n";

struct Options {
    UserIdentity user{"unknown", "user", "Other Contacts"};
    QString configDir;
};

bool ParseOptions(const QStringList& arguments, Options& options, QString& error) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (i + 1 >= arguments.size()) {
            error = name.startsWith("--") ? "option " + name + " needs a value"
                                          : "unknown argument " + name;
            return false;
        }
        const std::string value = arguments[++i].toStdString();
        if (name == "--first") {
            options.user.firstName = value;
        } else if (name == "--last") {
            options.user.lastName = value;
        } else if (name == "--group") {
            options.user.groupName = value;
        } else if (name == "--config") {
            options.configDir = QString::fromStdString(value);
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    return true;
}

// Prints every datagram and every failure the channel reports.
class EnvelopePrinter : public ChannelEvents {
public:
    explicit EnvelopePrinter(TerminalOutput& out) : out_(out) {}

    void HandleDatagram(std::string_view text, const std::string& senderAddress,
                        std::uint16_t senderPort, bool /*fromMulticast*/) override {
        NetMessage message;
        if (!codec_.Decode(message, text)) {
            out_.WriteLine({"alert", "Message decoder Failed!"});
            return;
        }
        const auto number = [](std::int32_t value) { return std::to_string(value); };
        out_.WriteLine({"heard", senderAddress + ":" + std::to_string(senderPort),
                        "magic=" + std::string(message.Magic()),
                        "version=" + number(message.version), "id=" + number(message.id),
                        "msgType=" + number(message.msgType), "from=" + message.from,
                        "fromPort=" + number(message.fromPort), "to=" + message.to,
                        "tunnel=" + number(message.tunnel), "body=" + message.body});
    }
    void ReportSystemError(const std::string& text) override { out_.WriteLine({"alert", text}); }
    void ReportWarning(const std::string& text) override { out_.WriteLine({"alert", text}); }

private:
    TerminalOutput& out_;
    MessageCodec codec_;
};

bool SkipPrivateInterfaces(const QString& configDir) {
    if (configDir.isEmpty()) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Quardell", "Tollix");
        return settings.value("settings/ignore local interfaces", 0).toInt() != 0;
    }
    QSettings settings(configDir + "/Quardell/Tollix.conf", QSettings::IniFormat);
    return settings.value("settings/ignore local interfaces", 0).toInt() != 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    QString error;
    if (!ParseOptions(QCoreApplication::arguments(), options, error)) {
        std::fprintf(stderr, "tollix-cli: %s\n%s", qPrintable(error), kUsage);
        return 2;
    }

    TerminalOutput out;
    EnvelopePrinter printer(out);
    CMulticastSocket group(printer);
    group.skip192168Interfaces = SkipPrivateInterfaces(options.configDir);
    if (!group.JoinGroup("234.5.6.7", 2030, 1, 0)) {
        out.WriteLine({"alert", "Error joining multicast group"});
        return 1;
    }
    out.WriteLine({"state", "connected", "online"});

    MessageCodec codec;
    NetMessage hello;
    codec.Build(MSGTYPE_HELLO, hello, {}, options.user);
    DatagramBuffer buffer;
    std::size_t length = 0;
    codec.Encode(hello, buffer, length);
    if (!group.SendToGroup(buffer.data(), length)) {
        out.WriteLine({"alert", "Multicast Failed!"});
    }

    bool left = false;
    const auto leave = [&] {
        if (std::exchange(left, true)) {
            return;
        }
        if (!group.LeaveGroup()) {
            out.WriteLine({"alert", "Error leaving multicast host group"});
        }
        out.WriteLine({"state", "disconnected", "offline"});
        QCoreApplication::quit();
    };
    InputLines input(
        [&](const std::string& line) {
            if (line == "quit") {
                leave();
            }
        },
        leave);
    return QCoreApplication::exec();
}
