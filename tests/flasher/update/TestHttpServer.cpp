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
                QByteArray request = socket->property("request").toByteArray() + socket->readAll();
                socket->setProperty("request", request);
                if (!request.contains("\r\n\r\n"))
                    return;
                socket->setProperty("answered", true);
                const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
                answer(socket, words.size() > 1 ? QString::fromLatin1(words[1]) : QString());
            });
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl TestHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

QUrl TestHttpServer::url(const QString &path) const
{
    QUrl url = baseUrl();
    url.setPath(path);
    return url;
}

void TestHttpServer::answer(QTcpSocket *socket, const QString &path)
{
    m_requests.append(path);
    if (onRequest)
        onRequest(path);
    const Route route = m_routes.value(path, Route{"not found", 404});
    if (route.hang)
        return;
    QTimer::singleShot(route.delayMs, socket, [socket, route] {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " X\r\n";
        if (route.sendLength)
            head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head + route.body);
        socket->disconnectFromHost();
    });
}
