#pragma once

#include <memory>

#include "platform/activity_source.h"

namespace tollix {

class DesktopIdleWatcher;

// Where the desktop does not let a program see input to others (Wayland, offscreen):
// input to the program's own windows, seen by an application-wide event filter, plus
// the desktop's own word that the user is back (DesktopIdleWatcher).
class WindowActivitySource : public ActivitySource {
    Q_OBJECT

public:
    explicit WindowActivitySource(QObject* parent = nullptr);
    ~WindowActivitySource() override;

    bool Install() override;
    void Remove() override;
    bool IsInstalled() const override { return installed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool installed_ = false;
    std::unique_ptr<DesktopIdleWatcher> desktop_;
};

}  // namespace tollix
