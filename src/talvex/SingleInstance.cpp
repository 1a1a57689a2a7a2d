#include "talvex/SingleInstance.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace talvex {

namespace {
constexpr int connectTimeoutMs = 500;
constexpr char activateMessage[] = "activate\n";

QString defaultServerName(const QString& key) {
    QString display = qEnvironmentVariable("DISPLAY", QStringLiteral("none"));
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("talvex-%1-%2%3").arg(getuid()).arg(display, key);
}
}  // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), serverName_(defaultServerName(key)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(connectTimeoutMs)) return false;
    socket.write(activateMessage);
    socket.waitForBytesWritten(connectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim() {
    if (askRunningInstance()) return false;
    // Nobody answers: whatever socket file is left belongs to an instance that died.
    QLocalServer::removeServer(serverName_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) {
        // Another start won the race between our question and our listen.
        server_.reset();
        return !askRunningInstance();
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains("activate")) emit activationRequested();
            });
        }
    });
    return true;
}

}  // namespace talvex
