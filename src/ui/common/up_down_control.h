#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

namespace tollix {

// Two small arrow buttons that step a number shown in an edit beside them (the buddy).
// A step starts from the number the buddy shows, or from the last position when the
// buddy holds no integer, stays within the range and writes the result into the buddy.
// The buddy itself accepts any text: checking what was typed is its dialog's business.
class UpDownControl : public QWidget {
    Q_OBJECT

public:
    explicit UpDownControl(QWidget* parent = nullptr);

    void SetRange(int lower, int upper);
    int Lower() const { return lower_; }
    int Upper() const { return upper_; }
    // Clamps `position` into the range and writes it into the buddy.
    void SetPosition(int position);
    int Position() const { return position_; }
    void StepBy(int steps);

    // Moves this control onto the right edge of `buddy`, narrows the buddy by this
    // control's width, and lets the up and down arrow keys in the buddy step the number.
    void AttachTo(QLineEdit* buddy);
    QLineEdit* Buddy() const { return buddy_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    QPointer<QLineEdit> buddy_;
    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
};

}  // namespace tollix
