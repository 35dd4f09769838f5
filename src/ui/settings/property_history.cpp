#include "ui/settings/property_history.h"

#include <QPushButton>

#include "ui/settings/property_history_table.h"

namespace tollix {

using namespace history_table;

CPropertyHistory::CPropertyHistory(std::function<void()> clearHistory, QWidget* parent)
    : CPropertyPage(kDialog, parent), clearHistory_(std::move(clearHistory)) {}

void CPropertyHistory::OnInitDialog() {
    DoDataExchange(false);
    AttachSpin(kDaysSpin, kDays, 0, kMaxDays, values_.days);
    connect(Controls().Get<QPushButton>(kClearHistory), &QPushButton::clicked, this,
            &CPropertyHistory::OnClearHistory);
}

bool CPropertyHistory::DoDataExchange(bool save) {
    ExchangeCheck(save, kKeepHistory, values_.keepHistory);
    if (!ExchangeInt(save, kDays, values_.days)) {
        return false;
    }
    ExchangeCheck(save, kShowNotifications, values_.showNotifications);
    ExchangeCheck(save, kPrivateConversations, values_.privateConversations);
    return true;
}

void CPropertyHistory::OnClearHistory() {
    if (Confirm(QStringLiteral("Delete every stored message of every conversation?"),
                QMessageBox::No) &&
        clearHistory_) {
        clearHistory_();
    }
}

}  // namespace tollix
