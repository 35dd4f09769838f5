#include "ui/settings/max_chars_validator.h"

namespace tollix {

MaxCharsValidator::MaxCharsValidator(int maxChars, QLineEdit* edit)
    : QValidator(edit),
      maxChars_(maxChars),
      acceptedLength_(static_cast<int>(edit->text().size())) {
    // The edit already holds the new text while it is validated, so the length before the
    // change is remembered from the last one that went through.
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { acceptedLength_ = static_cast<int>(text.size()); });
}

QValidator::State MaxCharsValidator::validate(QString& input, int&) const {
    if (input.size() > maxChars_ && input.size() > acceptedLength_) {
        return Invalid;
    }
    return Acceptable;
}

}  // namespace tollix
