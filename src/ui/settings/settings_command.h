#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "ui/settings/settings_sheet.h"

namespace tollix {

class CTollixApp;
class SettingsStore;

// The Settings command: fills the General, Networking and History pages with copies of the
// application's settings, shows the sheet modally and, when it ends with OK, copies the
// values back, replaces the tunnel list with the page's, sets the autostart entry and
// saves. Any other end changes nothing (but a history cleared meanwhile stays cleared:
// `clearHistory` runs at once). `openSettingsSheet` points at the sheet while it is shown,
// so that the main window can bring it forward or cancel it (reject()). Returns true when
// the sheet ended with OK.
bool OnSettings(CTollixApp& app, const SettingsStore& store,
                const std::function<void(bool)>& setAutostart, QWidget* owner,
                QPointer<CSettingsSheet>& openSettingsSheet,
                const std::function<void()>& clearHistory = {});

}  // namespace tollix
