// tollix-cli: a Tollix peer on the terminal, for servers, bots and scripts.
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <optional>

#include "cli_options.h"
#include "core/settings_store.h"
#include "core/signal_watcher.h"
#include "core/tollix_app.h"
#include "file_commands.h"
#include "history/history_store.h"
#include "input_lines.h"
#include "platform/sleep_guard.h"
#include "private_host.h"
#include "protocol/version.h"
#include "terminal_peer.h"

using namespace tollix;

namespace {

// Options that change this run only; the settings file is never written.
void ApplyOptions(const CliOptions& options, AppSettings& settings) {
    if (options.firstName) {
        settings.userFirstName = *options.firstName;
    }
    if (options.lastName) {
        settings.userLastName = *options.lastName;
    }
    if (options.groupName) {
        settings.userGroupName = *options.groupName;
    }
    if (options.awayAfterSeconds) {
        settings.trackSystemIdleTime = 1;
        settings.awayNotificationTimeout = *options.awayAfterSeconds;
    }
    for (const std::string& host : options.tunnels) {
        auto entry = AppSettings::MakeTunnelEntry(host);
        if (settings.IsNewTunnel(host, entry->tunId, {}) &&
            settings.tunnels.size() < AppSettings::kMaxTunnels) {
            settings.tunnels.push_back(std::move(entry));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QString error;
    const auto options = ParseCliOptions(QCoreApplication::arguments().mid(1), error);
    if (!options) {
        std::fprintf(stderr, "tollix-cli: %s\n\n%s", qPrintable(error), kCliUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(kCliUsage, stdout);
        return 0;
    }
    if (options->version) {
        std::printf("tollix-cli %s\n", ClientName().c_str());
        return 0;
    }

    CTollixApp app;
    const SettingsStore store(options->configDir.isEmpty() ? SettingsStore::DefaultConfigDir()
                                                           : options->configDir);
    app.Settings().LoadSettings(store);
    ApplyOptions(*options, app.Settings());

    // Made before the peer, so that texts still on their way when the peer is gone are
    // stored all the same.
    const QString dataDir =
        options->configDir.isEmpty() ? HistoryStore::DefaultDataDir() : options->configDir;
    std::optional<HistoryStore> history;
    if (options->history) {
        history.emplace(dataDir);
        QObject::connect(&*history, &HistoryStore::fault, &app, [&app](const QString& reason) {
            app.Alerts().Show(HistoryStore::AlertText(reason).toStdString());
        });
        history->Open();
    }

    // Pins and waiting texts are kept in the history file, with --history.
    PrivateHost privateHost(app, dataDir, history ? &*history : nullptr);

    TerminalOutput out;
    TerminalPeer peer(app, out);
    peer.SetHistory(history ? &*history : nullptr);
    FileCommands files(app, privateHost.Files(), out);
    if (!options->acceptFilesDir.isEmpty()) {
        files.AcceptEveryOfferInto(options->acceptFilesDir);
    }
    peer.SetFiles(&files);
    // A termination signal ends the run as `quit` does, farewell included; a second one,
    // or one during the farewell, ends it at once.
    bool finished = false;
    const auto finish = [&] {
        if (!std::exchange(finished, true)) {
            peer.Disconnect();
            QCoreApplication::quit();
        }
    };
    SignalWatcher terminations;
    QObject::connect(&terminations, &SignalWatcher::terminationRequested, [&](int number) {
        if (finished) {
            std::signal(number, SIG_DFL);
            std::raise(number);
        }
        if (options->send) {
            finished = true;
            peer.StopWaiting();
        } else {
            finish();
        }
    });
    if (options->send) {
        const int status = peer.SendOnce(options->send->first, options->send->second);
        if (history) {
            history->Flush();  // the text heard back is stored and printed
        }
        return status;
    }

    QTimer idleCheck;
    QObject::connect(&idleCheck, &QTimer::timeout, &app, &CTollixApp::CheckIdle);
    idleCheck.start(1000);

    std::optional<InputLines> input;
    std::optional<SleepGuard> sleepGuard;
    if (options->serve) {
        // A service reads nothing: it runs until a signal, and says goodbye before the
        // computer sleeps.
        sleepGuard.emplace(app);
    } else {
        input.emplace(
            [&](const std::string& line) {
                if (!finished && !peer.Execute(line)) {
                    finish();
                }
            },
            finish);
    }
    app.SetConnected(true);
    const int status = QCoreApplication::exec();
    if (history) {
        history->Flush();
    }
    return status;
}
