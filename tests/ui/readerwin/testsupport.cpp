// Test doubles for the companion windows (see testsupport.h).
#include "tests/ui/readerwin/testsupport.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace folio::testing {

LocalHttpServer::LocalHttpServer() : m_server(new QTcpServer(this)) {
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &LocalHttpServer::answer);
}

LocalHttpServer::~LocalHttpServer() = default;

bool LocalHttpServer::listening() const {
    return m_server->isListening();
}

QString LocalHttpServer::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
}

void LocalHttpServer::answer() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->peek(64 * 1024);
            if (!request.contains("\r\n\r\n"))
                return; // wait for the whole header
            socket->readAll();
            const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
            const QString path = words.size() > 1 ? QString::fromUtf8(words[1]) : QString();
            m_requests << path;
            const auto page = m_pages.constFind(path);
            const bool found = page != m_pages.constEnd();
            const QByteArray body = found ? *page : QByteArray("not here");
            QByteArray reply = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
            reply += "Content-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\n\r\n" + body;
            socket->write(reply);
            socket->disconnectFromHost();
        });
    }
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace folio::testing
