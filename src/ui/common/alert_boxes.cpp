#include "ui/common/alert_boxes.h"

#include <QMessageBox>

namespace tollix {

AlertBoxes::AlertBoxes(AlertService& alerts, QObject* parent) : QObject(parent) {
    // Direct: the service must know when the box has been dismissed.
    connect(&alerts, &AlertService::alertRaised, this, &AlertBoxes::Show, Qt::DirectConnection);
}

void AlertBoxes::Show(AlertKind kind, const QString& caption, const QString& text) {
    const QMessageBox::Icon icon =
        kind == AlertKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner_);
    box.exec();
}

}  // namespace tollix
