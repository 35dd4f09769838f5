#include "ui/conversation/search_bar.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

namespace tollix {

SearchBar::SearchBar(QWidget* parent)
    : QToolBar(QStringLiteral("Search"), parent),
      field_(new QLineEdit(this)),
      result_(new QLabel(this)) {
    setObjectName(QStringLiteral("search"));
    setMovable(false);
    setFloatable(false);
    field_->setPlaceholderText(QStringLiteral("Search the history"));
    field_->setClearButtonEnabled(true);
    field_->installEventFilter(this);
    addWidget(field_);
    result_->setContentsMargins(6, 0, 6, 0);
    addWidget(result_);
    // Older hits lie above in the history, newer ones below.
    next_ = addAction(style()->standardIcon(QStyle::SP_ArrowUp), QStringLiteral("Next"), this,
                      [this] { Find(true); });
    next_->setToolTip(QStringLiteral("Next, older hit (Enter)"));
    previous_ = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QStringLiteral("Previous"),
                          this, [this] { Find(false); });
    previous_->setToolTip(QStringLiteral("Previous, newer hit (Shift+Enter)"));
    close_ = addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Close"),
                       this, &SearchBar::Close);
    close_->setToolTip(QStringLiteral("Close the search (Escape)"));
    hide();
}

void SearchBar::Open() {
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void SearchBar::Close() {
    hide();
    result_->clear();
    emit closed();
}

void SearchBar::Find(bool older) {
    if (!field_->text().trimmed().isEmpty()) {
        emit findRequested(field_->text(), older);
    }
}

void SearchBar::ShowResult(int current, int count) {
    result_->setText(count == 0 ? QStringLiteral("Not found")
                                : QStringLiteral("%1 of %2").arg(current).arg(count));
}

QString SearchBar::Result() const {
    return result_->text();
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Find(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

}  // namespace tollix
