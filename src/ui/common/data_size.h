#pragma once

#include <QLocale>
#include <QString>

namespace tollix {

// A number of bytes as people read it: "512 bytes", "1.2 MB", "3.4 GB".
inline QString DataSizeText(qint64 bytes) {
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

}  // namespace tollix
