#pragma once

#include <QLineEdit>
#include <QValidator>

namespace tollix {

// Refuses typing or pasting that would make the edit's text longer than the limit. A
// text that is over the limit already (set by the program) stays as it is and may still
// be shortened; QLineEdit::setMaxLength would cut it silently instead, and the page could
// not tell the user that it is too long.
class MaxCharsValidator : public QValidator {
    Q_OBJECT

public:
    MaxCharsValidator(int maxChars, QLineEdit* edit);

    int MaxChars() const { return maxChars_; }
    State validate(QString& input, int& pos) const override;

private:
    int maxChars_;
    int acceptedLength_;  // of the edit's text before the change being validated
};

}  // namespace tollix
