#include "ui/conversation/search_matches.h"

#include <QRegularExpression>
#include <QStringList>

namespace tollix {

namespace {

const QRegularExpression& Word() {
    static const QRegularExpression word(QStringLiteral(R"([\p{L}\p{N}\p{M}]+)"));
    return word;
}

// Without accents, in one letter case: "Élan" and "elan" fold alike.
QString Fold(const QString& word) {
    QString folded;
    for (const QChar c : word.normalized(QString::NormalizationForm_KD)) {
        if (!c.isMark()) {
            folded += c;
        }
    }
    return folded.toCaseFolded();
}

}  // namespace

QList<TextSpan> MatchedWords(const QString& text, const QString& typed) {
    QStringList terms;
    for (auto match = Word().globalMatch(typed); match.hasNext();) {
        terms << Fold(match.next().captured());
    }
    QList<TextSpan> found;
    if (terms.isEmpty()) {
        return found;
    }
    for (auto match = Word().globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch word = match.next();
        const QString folded = Fold(word.captured());
        for (const QString& term : terms) {
            if (folded.startsWith(term)) {
                found.append({word.capturedStart(), word.capturedLength()});
                break;
            }
        }
    }
    return found;
}

}  // namespace tollix
