#include "history/search_expression.h"

#include <QRegularExpression>
#include <QStringList>

namespace tollix {

QString SearchExpression(const QString& typed) {
    static const QRegularExpression word(R"([\p{L}\p{N}\p{M}]+)");
    QStringList terms;
    for (auto match = word.globalMatch(typed); match.hasNext();) {
        // Quoted, so that words such as AND, OR, NOT and NEAR are words; * asks for prefixes.
        terms << "\"" + match.next().captured() + "\"*";
    }
    return terms.join(' ');
}

}  // namespace tollix
