#pragma once

#include "platform/activity_source.h"

namespace tollix {

// Input to the program's own windows, seen by an application-wide event filter: all there
// is where the desktop shows no one the input to others (offscreen, a Wayland compositor
// without an idle monitor).
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
};

}  // namespace tollix
