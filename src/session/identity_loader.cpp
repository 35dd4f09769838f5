#include "session/identity_loader.h"

#include <QThread>

namespace tollix {

IdentityLoader::IdentityLoader(QObject* parent) : QObject(parent) {}

IdentityLoader::~IdentityLoader() {
    if (worker_ != nullptr) {
        worker_->wait();
        delete worker_;
    }
}

void IdentityLoader::Start(const QString& dataDir) {
    if (worker_ != nullptr) {
        return;
    }
    // The worker writes result_ only; it is read after `finished`, which reaches this
    // object's thread once the worker is done.
    worker_ = QThread::create([this, dataDir] { result_ = LoadOrCreateIdentity(dataDir); });
    connect(worker_, &QThread::finished, this, [this] {
        worker_->deleteLater();
        worker_ = nullptr;
        emit loaded(result_);
    });
    worker_->start();
}

}  // namespace tollix
