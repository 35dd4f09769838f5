#include "ui/common/plain_text.h"

namespace tollix {

QString LiteralWindowTitle(const QString& title) {
    // Qt shows "[*][*]" as "[*]"; a lone one is the mark's place and vanishes.
    QString literal = title;
    literal.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return literal;
}

}  // namespace tollix
