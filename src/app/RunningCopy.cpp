#include "app/RunningCopy.h"

#include <QLocalSocket>
#include <QTimer>

namespace reradav {
namespace {

constexpr int kAnswerMs = 2000;

// The display this process shows its windows on: a request from another one cannot be met.
QByteArray ThisDisplay() {
    return "show " + qgetenv("WAYLAND_DISPLAY") + " " + qgetenv("DISPLAY") + "\n";
}

}  // namespace

bool AskRunningCopyToShow(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kAnswerMs)) {
        return false;
    }
    socket.write(ThisDisplay());
    return socket.waitForBytesWritten(kAnswerMs) && socket.waitForReadyRead(kAnswerMs) &&
           socket.readLine() == "shown\n";
}

ShowRequests::ShowRequests(const QString& path, std::function<void()> show)
    : show_(std::move(show)) {
    // Only the holder of the instance lock gets here: a socket left there is a dead copy's.
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(path);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        QLocalSocket* socket = server_.nextPendingConnection();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            const bool here = socket->readLine() == ThisDisplay();
            socket->write(here ? "shown\n" : "elsewhere\n");
            socket->flush();
            if (here) {
                // After the answer: the password dialog may wait for the user.
                QTimer::singleShot(0, this, [this] { show_(); });
            }
        });
    });
}

}  // namespace reradav
