#include "ui/settings/settings_sheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/common/dialog_units.h"
#include "ui/settings/property_page.h"

namespace tollix {

CSettingsSheet::CSettingsSheet(QWidget* owner)
    : QDialog(owner), tabs_(new QTabWidget(this)), buttons_(new QDialogButtonBox(this)) {
    // A tool window: small caption, no taskbar entry.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Settings"));
    setFont(dialog::DialogUnits::DialogFont());

    // The tabs stay in one row and scroll when they do not fit.
    tabs_->setUsesScrollButtons(true);
    tabs_->setElideMode(Qt::ElideNone);
    tabs_->tabBar()->setExpanding(false);

    buttons_->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons_->button(QDialogButtonBox::Ok)->setDefault(true);
    for (QAbstractButton* button : buttons_->buttons()) {
        button->setIcon(QIcon());  // plain text buttons, as in every other dialog here
    }
    connect(buttons_, &QDialogButtonBox::accepted, this, &CSettingsSheet::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &CSettingsSheet::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons_);
    // The pages have fixed sizes; so has the sheet, so that nothing can be cut off.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(tabs_, &QTabWidget::currentChanged, this, &CSettingsSheet::OnTabChanged);
}

void CSettingsSheet::AddPage(CPropertyPage* page) {
    const QSignalBlocker blocker(tabs_);
    tabs_->addTab(page, page->windowTitle());
}

int CSettingsSheet::PageCount() const {
    return tabs_->count();
}

CPropertyPage* CSettingsSheet::Page(int index) const {
    return qobject_cast<CPropertyPage*>(tabs_->widget(index));
}

CPropertyPage* CSettingsSheet::CurrentPage() const {
    return Page(current_);
}

bool CSettingsSheet::SetActivePage(int index) {
    tabs_->setCurrentIndex(index);
    return current_ == index;
}

void CSettingsSheet::showEvent(QShowEvent* event) {
    if (CPropertyPage* page = CurrentPage()) {
        page->Activate();
    }
    QDialog::showEvent(event);
}

void CSettingsSheet::OnTabChanged(int index) {
    // The tab has switched already: go back while the page that is left reads its
    // controls, so that a refusal is shown over that page and keeps it in front.
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(current_);
    }
    if (CPropertyPage* leaving = CurrentPage(); leaving != nullptr && !leaving->OnKillActive()) {
        return;
    }
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(index);
    }
    current_ = index;
    if (CPropertyPage* page = CurrentPage()) {
        page->Activate();
    }
}

void CSettingsSheet::accept() {
    if (CPropertyPage* page = CurrentPage(); page != nullptr && !page->OnKillActive()) {
        return;
    }
    for (int index = 0; index < PageCount(); ++index) {
        if (!Page(index)->OnOK()) {
            SetActivePage(index);
            return;
        }
    }
    QDialog::accept();
}

}  // namespace tollix
