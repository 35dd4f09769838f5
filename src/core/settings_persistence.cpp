// Loading and saving AppSettings: value names and order as every copy stores them.
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
};

// Names of the n-th tunnel's values: "tunnel_0 tunHost", with the space.
QString TunnelValueName(int n, const char* field) {
    return QStringLiteral("tunnel_%1 %2").arg(n).arg(QLatin1String(field));
}

}  // namespace

bool AppSettings::LoadSettings(const SettingsStore& store) {
    const auto settings = store.Open();
    settings->beginGroup("settings");
    for (const StringValue& value : kStringValues) {
        std::string& field = this->*value.field;
        field = settings->value(value.name, QString::fromStdString(field)).toString().toStdString();
    }
    for (const IntValue& value : kIntValues) {
        bool isNumber = false;
        const int stored = settings->value(value.name).toInt(&isNumber);
        if (isNumber) {  // a missing or unreadable value keeps the current one
            this->*value.field = stored;
        }
    }
    settings->endGroup();

    settings->beginGroup("tunnels");
    QMutexLocker lock(&tunnelsLock);
    for (int n = 0; tunnels.size() < kMaxTunnels; ++n) {
        const std::string host =
            settings->value(TunnelValueName(n, "tunHost")).toString().toStdString();
        const std::string subnet =
            settings->value(TunnelValueName(n, "tunSubnet")).toString().toStdString();
        bool isNumber = false;
        std::int32_t id = settings->value(TunnelValueName(n, "tunId")).toInt(&isNumber);
        if (!isNumber) {
            id = 0;
        }
        if (!IsNewTunnel(host, id, subnet)) {
            break;
        }
        tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{host, subnet, id}));
    }
    settings->endGroup();
    return true;
}

bool AppSettings::SaveSettings(const SettingsStore& store) const {
    const auto settings = store.Open();
    settings->beginGroup("settings");
    for (const StringValue& value : kStringValues) {
        settings->setValue(value.name, QString::fromStdString(this->*value.field));
    }
    for (const IntValue& value : kIntValues) {
        settings->setValue(value.name, this->*value.field);
    }
    settings->endGroup();

    settings->remove("tunnels");
    settings->beginGroup("tunnels");
    QMutexLocker lock(&tunnelsLock);
    int n = 0;
    for (std::size_t i = 0; i < tunnels.size(); ++i) {
        const TunnelEntry& entry = *tunnels[i];
        if (entry.tunHost.empty()) {
            continue;
        }
        settings->setValue(TunnelValueName(n, "tunHost"), QString::fromStdString(entry.tunHost));
        settings->setValue(TunnelValueName(n, "tunSubnet"),
                           QString::fromStdString(entry.tunSubnet));
        settings->setValue(TunnelValueName(n, "tunId"), entry.tunId);
        ++n;
    }
    settings->endGroup();
    settings->sync();
    return settings->status() == QSettings::NoError;
}

}  // namespace tollix
