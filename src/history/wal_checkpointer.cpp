#include "history/wal_checkpointer.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <chrono>

namespace tollix {

namespace {

constexpr std::chrono::milliseconds kGathering{500};

}  // namespace

WalCheckpointer::WalCheckpointer(const QString& filePath) : filePath_(filePath) {
    start();
}

WalCheckpointer::~WalCheckpointer() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    wait();
}

void WalCheckpointer::Request() {
    {
        const std::lock_guard lock(mutex_);
        if (requested_) {
            return;
        }
        requested_ = true;
    }
    wake_.notify_one();
}

void WalCheckpointer::run() {
    const QString name =
        QString("tollix-checkpoint-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(filePath_);
        if (db.open()) {
            std::unique_lock lock(mutex_);
            while (true) {
                wake_.wait(lock, [this] { return requested_ || stopping_; });
                // The writes of the next half second join this checkpoint.
                if (stopping_ || wake_.wait_for(lock, kGathering, [this] { return stopping_; })) {
                    break;
                }
                requested_ = false;
                lock.unlock();
                // A failure here is left alone: the connection that stores the texts reports
                // its own, and a WAL not copied yet is copied when the file is closed.
                QSqlQuery(db).exec("PRAGMA wal_checkpoint(PASSIVE)");
                lock.lock();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace tollix
