#include "ui/settings/max_chars_validator.h"

namespace tollix {

MaxCharsValidator::MaxCharsValidator(int maxChars, QLineEdit* edit)
    : QValidator(edit), maxChars_(maxChars), edit_(edit) {}

QValidator::State MaxCharsValidator::validate(QString& input, int&) const {
    if (input.size() > maxChars_ && input.size() > edit_->text().size()) {
        return Invalid;
    }
    return Acceptable;
}

}  // namespace tollix
