#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
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
    };

    TestHttpServer();
    QUrl baseUrl() const;
    QUrl url(const QString &path) const;

    Route &route(const QString &path) { return m_routes[path]; }
    // Paths in the order they were requested.
    QStringList requests() const { return m_requests; }
    std::function<void(const QString &path)> onRequest;

private:
    void answer(class QTcpSocket *socket, const QString &path);

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QStringList m_requests;
};
