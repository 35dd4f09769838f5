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
    // Modal to the main window while it is shown, to nothing otherwise: the conversations
    // stay usable. On the heap, in case the owner goes while the box's loop runs.
    QWidget* owner =
        owner_ && owner_->isVisible() && !owner_->isMinimized() ? owner_.data() : nullptr;
    const QPointer<QMessageBox> box = new QMessageBox(icon, caption, text, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);  // may quote what the network sent
    box->setWindowModality(Qt::WindowModal);
    box->exec();  // the core waits for the answer
    delete box.data();
}

}  // namespace tollix
