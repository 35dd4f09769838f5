#include "core/alert_service.h"

#include <utility>

namespace tollix {

AlertService::AlertService(const Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock), surplus_(clock) {}

void AlertService::Show(const std::string& text, const std::string& caption, AlertKind kind) {
    const std::int64_t now = clock_.Now();
    if (open_) {
        LogSurplus(text, "another alert is open");
        return;
    }
    // Forget texts whose quiet period is over, so that the map stays small.
    std::erase_if(lastShown_, [now](const auto& entry) {
        return now - entry.second >= kRepeatSeconds || now < entry.second;
    });
    if (lastShown_.contains(text)) {
        LogSurplus(text, "shown less than 30 seconds ago");
        return;
    }
    lastShown_[text] = now;
    open_ = true;
    emit alertRaised(kind, QString::fromStdString(caption), QString::fromStdString(text));
    open_ = false;
}

void AlertService::LogSurplus(const std::string& text, const char* reason) {
    surplus_.Write(text, std::string("alert not shown (") + reason + "): " + text);
}

}  // namespace tollix
