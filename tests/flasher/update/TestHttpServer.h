#pragma once

#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <functional>

// A tiny HTTP server for the tests, on 127.0.0.1 at a free port. It serves GET requests from a
// table of routes; a path without a route gets 404.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Route
    {
        QByteArray body;
        int status = 200;
        int delayMs = 0;        // wait this long before answering
        bool hang = false;      // never answer
        bool sendLength = true; // false: no Content-Length, the body ends with the connection
        int trickleMs = 0;      // send the body one byte at a time, this far apart
        int missing = 0;        // announce this many bytes more than the body has
    };

    TestHttpServer();
    QUrl baseUrl() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
    }
    Route &route(const QString &path) { return m_routes[path]; }
    std::function<void(const QString &path)> onRequest;

private:
    QTcpServer m_server;
    QHash<QString, Route> m_routes;
};
