#include "panel/single_instance.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>

#include "platform/root.h"

namespace zen::panel {
namespace {

constexpr int kConnectMilliseconds = 1000;
constexpr int kAnswerMilliseconds = 2000;

// The session: logind's id where there is one, else the display the panel draws on.
QString SessionKey() {
    for (const char* variable : {"XDG_SESSION_ID", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) {
            return QString(variable).left(1) + value;
        }
    }
    return "console";
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

QString SingleInstance::ServerPath() {
    QString key = SessionKey();
    key.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
    return QString::fromStdString(paths::RunDir().string()) +
           QString("/zencp-%1-%2").arg(::getuid()).arg(key);
}

bool SingleInstance::SendToRunning(const QByteArray& request, bool* answered) {
    QLocalSocket socket;
    socket.connectToServer(ServerPath());
    if (!socket.waitForConnected(kConnectMilliseconds)) {
        return false;
    }
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(kConnectMilliseconds)) {
        return false;
    }
    // A busy panel still counts as running: its answer is only waited for a moment.
    while (!socket.canReadLine() && socket.waitForReadyRead(kAnswerMilliseconds)) {
    }
    const bool gotAnswer = socket.canReadLine() && socket.readLine().trimmed() == kAnswer;
    if (answered != nullptr) {
        *answered = gotAnswer;
    }
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    // Only this account may talk to its panel.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(ServerPath())) {
        // Nobody answered on it, so it is a dead panel's socket.
        QLocalServer::removeServer(ServerPath());
        if (!server_->listen(ServerPath())) {
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                while (client->canReadLine()) {
                    const QByteArray request = client->readLine().trimmed();
                    client->write(QByteArray(kAnswer) + '\n');
                    // Sent before the request is handled, which may open a modal prompt.
                    client->flush();
                    emit requestReceived(request);
                }
            });
        }
    });
    return true;
}

}  // namespace zen::panel
