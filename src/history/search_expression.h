#pragma once

#include <QString>

namespace tollix {

// The full-text match expression for what the user typed in a search field: every word
// must occur, as a word of the text or the start of one. Only letters, digits and marks
// make words, as in the index, so nothing typed is read as an operator of the match
// syntax. Empty when nothing was typed that makes a word.
QString SearchExpression(const QString& typed);

}  // namespace tollix
