#pragma once

// A D-Bus daemon of the test's own, and fake services on it, for the pieces that talk to
// the desktop's or the system's services (the compositor's idle time, the tray's host,
// logind). The daemon activates nothing, so a name is served only by a fake, and lets any
// client own any name.
#include <sys/prctl.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <map>
#include <utility>

namespace tollix::testing {

class PrivateBus {
public:
    PrivateBus() {
        QFile config(dir_.filePath("bus.conf"));
        if (!dir_.isValid() || !config.open(QIODevice::WriteOnly)) {
            return;
        }
        // A socket in the file system, so that programs in other network namespaces reach it.
        config.write(
            "<busconfig><type>session</type><listen>unix:path=" + dir_.filePath("socket").toUtf8() +
            "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            "<allow send_destination=\"*\"/><allow receive_type=\"*\"/><allow own=\"*\"/>"
            "</policy></busconfig>");
        config.close();
        // The daemon ends with the test, also when the test crashes or is killed.
        daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        daemon_.start("dbus-daemon",
                      {"--nofork", "--print-address=1", "--config-file=" + config.fileName()});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000)) {
            address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        }
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(kFakes);
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when dbus-daemon could not be started.
    QString Address() const { return address_; }
    // The connection on which the fakes own their names and serve their objects.
    QDBusConnection Fakes() const { return QDBusConnection::connectToBus(address_, kFakes); }
    // Another connection, as a program under test has its own.
    QDBusConnection Connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    static constexpr const char* kFakes = "tollix-test-fakes";
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};

// One object of a fake service: each method the test names is answered by its handler;
// any other is refused (Introspect is answered from `interfaces`, the XML of the object's
// interfaces, for clients that look before they ask).
class FakeObject : public QDBusVirtualObject {
public:
    using Handler = std::function<QVariantList(const QDBusMessage&)>;

    explicit FakeObject(QString interfaces = {}) : interfaces_(std::move(interfaces)) {}

    void Answer(const QString& member, Handler handler) { handlers_[member] = std::move(handler); }

    QString introspect(const QString&) const override { return interfaces_; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const auto handler = handlers_.find(message.member());
        if (handler == handlers_.end()) {
            return false;
        }
        return connection.send(message.createReply(handler->second(message)));
    }

private:
    QString interfaces_;
    std::map<QString, Handler> handlers_;
};

}  // namespace tollix::testing
