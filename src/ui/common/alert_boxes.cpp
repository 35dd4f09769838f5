#include "ui/common/alert_boxes.h"

#include <QMessageBox>

namespace tollix {

AlertBoxes::AlertBoxes(AlertService& alerts, QObject* parent) : QObject(parent) {
    // Direct: the service must know when the box has been dismissed.
    connect(&alerts, &AlertService::alertRaised, this, &AlertBoxes::Show, Qt::DirectConnection);
}

void AlertBoxes::Show(AlertKind kind, const QString& caption, const QString& text) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
        case AlertKind::Error:
            icon = QMessageBox::Critical;
            break;
        case AlertKind::Information:
            icon = QMessageBox::Information;
            break;
        case AlertKind::Question:
            icon = QMessageBox::Question;
            break;
        case AlertKind::Plain:
            break;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner_);
    box.exec();
}

}  // namespace tollix
