#include "session/file_names.h"

#include "session/control_json.h"

namespace tollix {

namespace {

// An extension kept when a long name is cut: ".pdf", ".tar.gz"'s ".gz".
constexpr qsizetype kMaxKeptExtensionBytes = 16;

bool Unsafe(QChar c) {
    return c == '/' || c == '\\' || c.category() == QChar::Other_Control ||
           c.category() == QChar::Other_Format;
}

// Where the extension starts ("report.pdf": 6), or the size when there is none. A leading
// dot names a hidden file, not an extension.
qsizetype ExtensionAt(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? dot : name.size();
}

}  // namespace

QString SafeFileName(const QString& offered) {
    QString name;
    name.reserve(offered.size());
    for (qsizetype i = 0; i < offered.size(); ++i) {
        // A pair of surrogates is one character; its category is that of the pair.
        const bool pair = offered[i].isHighSurrogate() && i + 1 < offered.size() &&
                          offered[i + 1].isLowSurrogate();
        if (pair) {
            const char32_t code = QChar::surrogateToUcs4(offered[i], offered[i + 1]);
            const bool format = QChar::category(code) == QChar::Other_Format;
            name += format ? QString("_") : offered.mid(i, 2);
            ++i;
        } else {
            name += Unsafe(offered[i]) || offered[i].isSurrogate() ? QChar('_') : offered[i];
        }
    }
    name = name.trimmed();
    if (name.toUtf8().size() > kMaxSafeNameBytes) {
        QString extension = name.mid(ExtensionAt(name));
        if (extension.toUtf8().size() > kMaxKeptExtensionBytes) {
            extension.clear();
        }
        const QByteArray stem = CutUtf8(name.left(name.size() - extension.size()).toUtf8(),
                                        kMaxSafeNameBytes - extension.toUtf8().size());
        name = QString::fromUtf8(stem).trimmed() + extension;
    }
    if (name.count('.') == name.size()) {
        return "file";  // empty, ".", ".." and the like
    }
    return name;
}

QString NumberedName(const QString& name, int n) {
    if (n == 0) {
        return name;
    }
    const qsizetype at = ExtensionAt(name);
    return name.left(at) + " (" + QString::number(n) + ")" + name.mid(at);
}

}  // namespace tollix
