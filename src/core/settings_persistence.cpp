// Loading and saving AppSettings: value names and order as every copy stores them, over
// the administrator's defaults.
#include <QMutexLocker>
#include <array>

#include "core/app_settings.h"
#include "core/settings_store.h"

namespace tollix {

namespace {

struct StringValue {
    const char* name;
    std::string AppSettings::*field;
};
struct IntValue {
    const char* name;
    int AppSettings::*field;
};

constexpr std::array kStringValues{
    StringValue{"user first name", &AppSettings::userFirstName},
    StringValue{"user last name", &AppSettings::userLastName},
    StringValue{"user group name", &AppSettings::userGroupName},
    StringValue{"download folder", &AppSettings::downloadFolder},
};

constexpr std::array kIntValues{
    IntValue{"gui stick mode", &AppSettings::guiStickMode},
    IntValue{"start minimized", &AppSettings::startMinimized},
    IntValue{"start with Windows", &AppSettings::startWithWindows},
    IntValue{"connect on startup", &AppSettings::connectOnStartup},
    IntValue{"msg send key", &AppSettings::msgSendKey},
    IntValue{"ignore local interfaces", &AppSettings::ignoreLocalInterfaces},
    IntValue{"track system idle time", &AppSettings::trackSystemIdleTime},
    IntValue{"AWAY notification timeout", &AppSettings::awayNotificationTimeout},
    IntValue{"tray icon always visible", &AppSettings::trayIconAlwaysVisible},
    IntValue{"keep history", &AppSettings::keepHistory},
    IntValue{"history days", &AppSettings::historyDays},
    IntValue{"show desktop notifications", &AppSettings::showNotifications},
    IntValue{"learn tunnels", &AppSettings::learnTunnels},
    IntValue{"conversation width", &AppSettings::conversationWidth},
    IntValue{"conversation height", &AppSettings::conversationHeight},
    IntValue{"private conversations", &AppSettings::privateConversations},
};

// Names of the n-th tunnel's values: "tunnel_0 tunHost", with the space.
QString TunnelValueName(int n, const char* field) {
    return QStringLiteral("tunnel_%1 %2").arg(n).arg(QLatin1String(field));
}

// Section "settings" over the current values: a missing or unreadable value keeps them.
void ReadValues(QSettings& file, AppSettings& into) {
    file.beginGroup("settings");
    for (const StringValue& value : kStringValues) {
        std::string& field = into.*value.field;
        field = file.value(value.name, QString::fromStdString(field)).toString().toStdString();
    }
    for (const IntValue& value : kIntValues) {
        bool isNumber = false;
        const int stored = file.value(value.name).toInt(&isNumber);
        if (isNumber) {
            into.*value.field = stored;
        }
    }
    file.endGroup();
}

// Appends the tunnels of section "tunnels", stopping at the first entry that is missing,
// invalid or repeats an earlier one.
void ReadTunnels(QSettings& file, AppSettings& into) {
    file.beginGroup("tunnels");
    QMutexLocker lock(&into.tunnelsLock);
    for (int n = 0; into.tunnels.size() < AppSettings::kMaxTunnels; ++n) {
        const std::string host = file.value(TunnelValueName(n, "tunHost")).toString().toStdString();
        const std::string subnet =
            file.value(TunnelValueName(n, "tunSubnet")).toString().toStdString();
        bool isNumber = false;
        std::int32_t id = file.value(TunnelValueName(n, "tunId")).toInt(&isNumber);
        if (!isNumber) {
            id = 0;
        }
        if (!into.IsNewTunnel(host, id, subnet)) {
            break;
        }
        into.tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{host, subnet, id}));
    }
    file.endGroup();
}

// The entries that are saved: those with a host, in order.
std::vector<TunnelEntry> SavedTunnels(const AppSettings& settings) {
    QMutexLocker lock(&settings.tunnelsLock);
    std::vector<TunnelEntry> saved;
    for (std::size_t i = 0; i < settings.tunnels.size(); ++i) {
        if (!settings.tunnels[i]->tunHost.empty()) {
            saved.push_back(*settings.tunnels[i]);
        }
    }
    return saved;
}

// The values that the administrator's file sets, as this copy reads them (an unreadable
// number as the default it keeps), and its tunnels.
AppSettings::Inherited ReadInherited(QSettings& system) {
    AppSettings read;
    ReadValues(system, read);
    ReadTunnels(system, read);
    AppSettings::Inherited inherited;
    system.beginGroup("settings");
    for (const StringValue& value : kStringValues) {
        if (system.contains(value.name)) {
            inherited.values[value.name] = QString::fromStdString(read.*value.field);
        }
    }
    for (const IntValue& value : kIntValues) {
        if (system.contains(value.name)) {
            inherited.values[value.name] = read.*value.field;
        }
    }
    system.endGroup();
    inherited.tunnels = SavedTunnels(read);
    return inherited;
}

}  // namespace

bool AppSettings::LoadSettings(const SettingsStore& store) {
    const auto settings = store.Open();
    const auto system = store.OpenSystem();
    inherited = {};
    if (system) {
        ReadValues(*system, *this);
        inherited = ReadInherited(*system);
    }
    ReadValues(*settings, *this);
    // The administrator's tunnels apply while the user's file has no tunnel section.
    const bool ownTunnels = !system || settings->childGroups().contains("tunnels");
    ReadTunnels(ownTunnels ? *settings : *system, *this);
    return true;
}

bool AppSettings::SaveSettings(const SettingsStore& store) const {
    // A value inherited from the administrator's file at load, that the user has left as
    // it is, is left out of the user's file, so that the administrator's later changes
    // reach this user. Every other value is written, as without such a file.
    const auto settings = store.Open();
    const auto write = [&](const char* name, const QVariant& value) {
        const auto found = inherited.values.constFind(name);
        if (found != inherited.values.constEnd() && *found == value) {
            settings->remove(name);
        } else {
            settings->setValue(name, value);
        }
    };

    settings->beginGroup("settings");
    for (const StringValue& value : kStringValues) {
        write(value.name, QString::fromStdString(this->*value.field));
    }
    for (const IntValue& value : kIntValues) {
        write(value.name, this->*value.field);
    }
    settings->endGroup();

    settings->remove("tunnels");
    const std::vector<TunnelEntry> tunnelsToSave = SavedTunnels(*this);
    if (tunnelsToSave != inherited.tunnels) {  // both empty: nothing to write
        settings->beginGroup("tunnels");
        for (std::size_t n = 0; n < tunnelsToSave.size(); ++n) {
            const TunnelEntry& entry = tunnelsToSave[n];
            const int number = static_cast<int>(n);
            settings->setValue(TunnelValueName(number, "tunHost"),
                               QString::fromStdString(entry.tunHost));
            settings->setValue(TunnelValueName(number, "tunSubnet"),
                               QString::fromStdString(entry.tunSubnet));
            settings->setValue(TunnelValueName(number, "tunId"), entry.tunId);
        }
        if (tunnelsToSave.empty() && !inherited.tunnels.empty()) {
            // The user removed the administrator's tunnels: a first entry without a host,
            // at which every copy stops loading, keeps the section and the list empty.
            settings->setValue(TunnelValueName(0, "tunHost"), QString());
        }
        settings->endGroup();
    }
    settings->sync();
    return settings->status() == QSettings::NoError;
}

}  // namespace tollix
