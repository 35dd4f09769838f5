#include "ui/common/plain_text.h"

#include <QTextDocument>

namespace tollix {

QString LiteralWindowTitle(const QString& title) {
    // Qt shows "[*][*]" as "[*]"; a lone one is the mark's place and vanishes.
    QString literal = title;
    literal.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return literal;
}

QString PlainToolTip(const QString& text) {
    return text.isEmpty() ? text : Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

}  // namespace tollix
