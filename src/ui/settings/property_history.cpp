#include "ui/settings/property_history.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include "ui/common/window_modal.h"

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
    Controls().Get<QLineEdit>(kDownloadFolder)->setPlaceholderText(defaultFolder_);
    connect(Controls().Get<QPushButton>(kBrowseFolder), &QPushButton::clicked, this,
            &CPropertyHistory::OnBrowseFolder);
}

void CPropertyHistory::OnBrowseFolder() {
    auto* edit = Controls().Get<QLineEdit>(kDownloadFolder);
    auto* chooser = new QFileDialog(this, QStringLiteral("Save received files in"),
                                    edit->text().isEmpty() ? defaultFolder_ : edit->text());
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    connect(chooser, &QFileDialog::fileSelected, edit, &QLineEdit::setText);
    OpenWindowModal(chooser);
}

bool CPropertyHistory::DoDataExchange(bool save) {
    ExchangeCheck(save, kKeepHistory, values_.keepHistory);
    if (!ExchangeInt(save, kDays, values_.days)) {
        return false;
    }
    ExchangeCheck(save, kShowNotifications, values_.showNotifications);
    ExchangeCheck(save, kPrivateConversations, values_.privateConversations);
    return ExchangeText(save, kDownloadFolder, values_.downloadFolder, kMaxFolderChars);
}

void CPropertyHistory::OnClearHistory() {
    if (Confirm(QStringLiteral("Delete every stored message of every conversation?"),
                QMessageBox::No) &&
        clearHistory_) {
        clearHistory_();
    }
}

}  // namespace tollix
