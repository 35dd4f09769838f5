#pragma once

#include <QObject>
#include <QString>

#include "session/identity_file.h"

class QThread;

namespace tollix {

// Loads or makes the identity on a worker thread, so that start-up never waits for the disk
// or for key making; the result comes back on the thread that owns the loader.
class IdentityLoader : public QObject {
    Q_OBJECT

public:
    explicit IdentityLoader(QObject* parent = nullptr);
    // Waits for a load still running (it takes milliseconds).
    ~IdentityLoader() override;

    // Starts LoadOrCreateIdentity(dataDir); `loaded` follows. Ignored while a load runs.
    void Start(const QString& dataDir);

signals:
    void loaded(const tollix::IdentityResult& result);

private:
    QThread* worker_ = nullptr;
    IdentityResult result_;
};

}  // namespace tollix
