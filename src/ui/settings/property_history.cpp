#include "ui/settings/property_history.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "ui/common/up_down_control.h"
#include "ui/settings/property_history_table.h"

namespace tollix {

using namespace history_table;

CPropertyHistory::CPropertyHistory(std::function<bool()> clearHistory, QWidget* parent)
    : CPropertyPage(kDialog, parent), clearHistory_(std::move(clearHistory)) {}

void CPropertyHistory::OnInitDialog() {
    DoDataExchange(false);
    auto* spin = Controls().Get<UpDownControl>(kDaysSpin);
    auto* days = Controls().Get<QLineEdit>(kDays);
    spin->AttachTo(days);
    spin->SetRange(0, kMaxDays);
    spin->SetPosition(values_.days);
    days->setText(QString::number(values_.days));
    connect(Controls().Get<QPushButton>(kClearHistory), &QPushButton::clicked, this,
            &CPropertyHistory::OnClearHistory);
}

bool CPropertyHistory::DoDataExchange(bool save) {
    ExchangeCheck(save, kKeepHistory, values_.keepHistory);
    if (!ExchangeInt(save, kDays, values_.days)) {
        return false;
    }
    ExchangeCheck(save, kShowNotifications, values_.showNotifications);
    return true;
}

void CPropertyHistory::OnClearHistory() {
    // Modal to the sheet only, like every box of the sheet.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"),
                    QStringLiteral("Delete every stored message of every conversation?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowModality(Qt::WindowModal);
    if (box.exec() == QMessageBox::Yes && clearHistory_) {
        clearHistory_();
    }
}

}  // namespace tollix
