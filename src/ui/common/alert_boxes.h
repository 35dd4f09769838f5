#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "core/alert_service.h"

namespace tollix {

// Shows the core's alerts as modal message boxes: "Tollix" boxes without an icon for the
// fixed failure texts, "Error" boxes with the error icon for system errors. The box runs a
// nested event loop; the alert service keeps a second one from opening meanwhile.
class AlertBoxes : public QObject {
    Q_OBJECT

public:
    explicit AlertBoxes(AlertService& alerts, QObject* parent = nullptr);

    // The window that owns the boxes while it is shown; none gives boxes without an owner.
    void SetOwner(QWidget* owner) { owner_ = owner; }

private:
    void Show(AlertKind kind, const QString& caption, const QString& text);

    QPointer<QWidget> owner_;
};

}  // namespace tollix
