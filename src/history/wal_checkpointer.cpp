#include "history/wal_checkpointer.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

namespace tollix {

namespace {

constexpr int kIntervalMs = 500;

}  // namespace

WalCheckpointer::WalCheckpointer(const QString& filePath) : filePath_(filePath) {
    start();
}

WalCheckpointer::~WalCheckpointer() {
    quit();
    wait();
}

void WalCheckpointer::run() {
    const QString name =
        QString("tollix-checkpoint-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(filePath_);
        QTimer timer;
        // A failure here is left alone: the connection that stores the texts reports its
        // own, and a WAL not copied yet is copied when the file is closed.
        QObject::connect(&timer, &QTimer::timeout,
                         [&db] { QSqlQuery(db).exec("PRAGMA wal_checkpoint(PASSIVE)"); });
        if (db.open()) {
            timer.start(kIntervalMs);
            exec();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace tollix
