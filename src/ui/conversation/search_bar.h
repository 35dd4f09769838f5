#pragma once

#include <QToolBar>

class QAction;
class QLabel;
class QLineEdit;

namespace tollix {

// The search field of a conversation, in a bar of its own below the toolbar, with "k of n"
// and the buttons Next, Previous and Close beside it. Enter or Next finds the words typed
// (first the newest hit, then each older one), Shift+Enter or Previous goes back to newer
// hits, Escape or Close closes the bar.
class SearchBar : public QToolBar {
    Q_OBJECT

public:
    explicit SearchBar(QWidget* parent = nullptr);

    // Shows the bar with the field's text selected and the keyboard focus in it.
    void Open();
    void Close();
    QLineEdit* Field() const { return field_; }
    // "3 of 12", "Not found", or nothing before the first search.
    void ShowResult(int current, int count);
    QString Result() const;
    QAction* NextAction() const { return next_; }
    QAction* PreviousAction() const { return previous_; }
    QAction* CloseAction() const { return close_; }

signals:
    void findRequested(const QString& words, bool older);
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Find(bool older);

    QLineEdit* field_;
    QLabel* result_;
    QAction* next_;
    QAction* previous_;
    QAction* close_;
};

}  // namespace tollix
