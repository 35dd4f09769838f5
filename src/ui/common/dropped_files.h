#pragma once

#include <QFileInfo>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace tollix {

// The local files a drag carries; none when it carries anything else as well (a folder, a
// web address, text).
inline QStringList DroppedFiles(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile()) {
            return {};
        }
        paths << url.toLocalFile();
    }
    return paths;
}

}  // namespace tollix
