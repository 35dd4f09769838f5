// Feeds arbitrary command lines to the terminal peer, with fake channels that loop every
// datagram sent back to the copy (so that sent texts come back as events) and a history
// store in a temporary folder (so that `history` answers), and checks every event line
// written: fields in escaped form, one line per event, no control character of a field's
// own. Also checks that escaping any text and reading it back as a command's text gives
// the text again.
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string_view>

#include "../unit/core_harness.h"
#include "core/tollix_app.h"
#include "history/history_store.h"
#include "terminal_output.h"
#include "terminal_peer.h"

namespace {

// An event has the number of fields its kind says, every backslash in it starts one of
// \n, \t, \r, \\ and \xHH, and no control character gets out but the TABs between fields:
// none of a field's own reaches the terminal unescaped.
void CheckEvent(std::string_view line) {
    static const std::map<std::string_view, std::size_t> fields{
        {"contact", 7}, {"text", 5}, {"alert", 2},  {"state", 3},
        {"stats", 2},   {"end", 1},  {"history", 6}};
    const auto kind = fields.find(line.substr(0, line.find('\t')));
    if (kind == fields.end() ||
        static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t')) + 1 != kind->second) {
        std::abort();
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        const auto next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f ||
            (byte == 0xc2 && next >= 0x80 && next < 0xa0) ||
            (byte == '\\' &&
             std::string_view("ntr\\x").find(static_cast<char>(next)) == std::string_view::npos)) {
            std::abort();
        }
        i += byte == '\\' ? 1 : 0;
    }
}

// One store for the whole run, as a long-running peer has: the texts of every input pile
// up in it. It is made after Qt's table of SQL connections, so that it is closed (and its
// thread stopped) before that table goes at exit.
struct FuzzHistory {
    QTemporaryDir dir;
    std::optional<tollix::HistoryStore> store;

    FuzzHistory() {
        QSqlDatabase::connectionNames();
        store.emplace(dir.path());
        store->Open();
    }
};

tollix::HistoryStore& History() {
    static int argc = 1;
    static char name[] = "cli-command-fuzzer";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static FuzzHistory history;
    return *history.store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tollix;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (TerminalPeer::Unescape(TerminalOutput::Escape(input)) != input) {
        std::abort();
    }

    char* written = nullptr;
    std::size_t writtenSize = 0;
    std::FILE* events = open_memstream(&written, &writtenSize);
    std::FILE* errors = std::fopen("/dev/null", "w");
    {
        testing::CoreHarness core;
        CTollixApp& app = core.app;
        const std::vector<NetMessage>& sent = core.multicast.sent;
        TerminalOutput out(events, errors);
        TerminalPeer peer(app, out);
        peer.SetHistory(&History());
        app.SetConnected(true);
        app.HandleDatagram(testing::Envelope(MSGTYPE_ONLINE, 1), "10.0.0.9", 2030, true);

        std::string_view rest = input;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find('\n'), rest.size());
            const std::string line(rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
            const std::size_t before = sent.size();
            if (!peer.Execute(line)) {
                break;
            }
            for (std::size_t i = before; i < sent.size(); ++i) {
                app.HandleDatagram(MessageCodec::EnvelopeText(sent[i]), "10.0.0.5", 2030, true);
            }
        }
        History().Flush();  // the lines of the texts still on their way
        app.SetConnected(false);
    }
    std::fclose(errors);
    std::fclose(events);
    std::string_view lines(written, writtenSize);
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        if (end == std::string_view::npos) {
            std::abort();  // every event ends its line
        }
        CheckEvent(lines.substr(0, end));
        lines.remove_prefix(end + 1);
    }
    std::free(written);
    return 0;
}
