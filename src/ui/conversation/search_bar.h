#pragma once

#include <QToolBar>

class QLabel;
class QLineEdit;

namespace tollix {

// The search field of a conversation, in a bar of its own below the toolbar: Enter finds
// the words typed (first the newest hit, then each older one), Shift+Enter goes back to
// newer hits, Escape closes the bar.
class SearchBar : public QToolBar {
    Q_OBJECT

public:
    explicit SearchBar(QWidget* parent = nullptr);

    // Shows the bar with the field's text selected and the keyboard focus in it.
    void Open();
    QLineEdit* Field() const { return field_; }
    // "3 of 12", "Not found", or nothing before the first search.
    void ShowResult(int current, int count);
    QString Result() const;

signals:
    void findRequested(const QString& words, bool older);
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* field_;
    QLabel* result_;
};

}  // namespace tollix
