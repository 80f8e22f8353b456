#include "frontend/ui/qv3InstanceServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include "platform/system/InstanceMessage.h"

namespace qv::ui {

namespace {
// A sender that has not completed its record by then is dropped.
constexpr int kSenderTimeoutMs = 5000;
}

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    connect(server_, &QLocalServer::newConnection, this, [this] { Accept(); });
}

TInstanceServer::~TInstanceServer() {
    server_->close();
}

bool TInstanceServer::Listen(const std::string& path) {
    path_ = path;
    const QString name = QString::fromStdString(path);
    QLocalServer::removeServer(name);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    return server_->listen(name);
}

void TInstanceServer::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        QTimer::singleShot(kSenderTimeoutMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            sys::TInstanceMessage message;
            std::size_t used = 0;
            const auto parsed = sys::ParseInstanceMessage(reinterpret_cast<const std::uint8_t*>(buffer->constData()),
                                                          static_cast<std::size_t>(buffer->size()), message, used);
            if (parsed == sys::TInstanceParse::Incomplete) return;
            if (parsed == sys::TInstanceParse::Bad) {
                socket->abort();
                return;
            }
            const char ack = static_cast<char>(sys::kInstanceMessageAck);
            socket->write(&ack, 1);
            socket->flush();
            socket->disconnectFromServer();
            if (OnMessage) OnMessage(message.dwData, message.Data);
        });
    }
}

}  // namespace qv::ui
