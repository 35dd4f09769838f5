#pragma once

#include <QLineEdit>
#include <QValidator>

namespace tollix {

// Refuses typing or pasting that would make the edit's text longer than the limit. A
// text that is over the limit already (set by the program) may still be shortened, which
// QLineEdit::setMaxLength would not allow: it cuts such a text silently.
class MaxCharsValidator : public QValidator {
    Q_OBJECT

public:
    MaxCharsValidator(int maxChars, QLineEdit* edit);

    int MaxChars() const { return maxChars_; }
    State validate(QString& input, int& pos) const override;

private:
    int maxChars_;
    QLineEdit* edit_;
};

}  // namespace tollix
