#include "TestHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

TestHttpServer::TestHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (socket->property("answered").toBool())
                    return;
                const QByteArray request =
                    socket->property("request").toByteArray() + socket->readAll();
                socket->setProperty("request", request);
                if (!request.contains("\r\n\r\n"))
                    return;
                socket->setProperty("answered", true);
                const QString path = QString::fromLatin1(request.split(' ').value(1));
                if (onRequest)
                    onRequest(path);
                const Route route = m_routes.value(path, Route{"not found", 404});
                if (route.hang)
                    return;
                QTimer::singleShot(route.delayMs, socket, [socket, route] {
                    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " X\r\n";
                    if (route.sendLength)
                        head += "Content-Length: " +
                                QByteArray::number(route.body.size() + route.missing) + "\r\n";
                    socket->write(head + "Connection: close\r\n\r\n");
                    if (route.trickleMs == 0) {
                        socket->write(route.body);
                        socket->disconnectFromHost();
                        return;
                    }
                    auto *trickle = new QTimer(socket);
                    connect(trickle, &QTimer::timeout, socket,
                            [socket, trickle, body = route.body] {
                                const qsizetype sent = trickle->property("sent").toLongLong();
                                if (sent == body.size())
                                    return socket->disconnectFromHost();
                                socket->write(body.mid(sent, 1));
                                trickle->setProperty("sent", sent + 1);
                            });
                    trickle->start(route.trickleMs);
                });
            });
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}
