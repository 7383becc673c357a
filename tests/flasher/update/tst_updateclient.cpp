#include "TestHttpServer.h"
#include "UpdateClient.h"
#include "UpdateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestUpdateClient : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        // Nothing of these tests may leave 127.0.0.1, whatever proxy the machine sets.
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QCoreApplication::setOrganizationName(QStringLiteral("iveva-tests"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }

    void download_data()
    {
        QTest::addColumn<TestHttpServer::Route>("route");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("status");
        using R = TestHttpServer::Route;
        const QByteArray largest(UpdateClient::MaxBodyBytes, '\x5a');
        const QByteArray tooLarge = largest + 'x';
        QTest::newRow("ok") << R{"V2.20,a,b"} << 5000 << int(UpdateClient::Ok);
        QTest::newRow("largest image") << R{largest} << 5000 << int(UpdateClient::Ok);
        QTest::newRow("404") << R{"gone", 404} << 5000 << int(UpdateClient::HttpError);
        QTest::newRow("empty body") << R{""} << 5000 << int(UpdateClient::EmptyBody);
        QTest::newRow("oversized, announced") << R{tooLarge} << 5000 << int(UpdateClient::TooLarge);
        QTest::newRow("oversized, counted")
            << R{tooLarge, 200, 0, false, false} << 5000 << int(UpdateClient::TooLarge);
        QTest::newRow("slow but in time") << R{"abc", 200, 300} << 5000 << int(UpdateClient::Ok);
        QTest::newRow("too slow") << R{"abc", 200, 3000} << 200 << int(UpdateClient::TimedOut);
    }

    // Only a whole download writes the file; a failed one leaves what was there before.
    void download()
    {
        QFETCH(TestHttpServer::Route, route);
        QFETCH(int, timeoutMs);
        QFETCH(int, status);
        TestHttpServer server;
        server.route(QStringLiteral("/f")) = route;
        const QString target = m_dir.filePath(QStringLiteral("target"));
        QFile::remove(target);
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        UpdateClient client(server.baseUrl());
        client.setTimeoutMs(timeoutMs);

        // The window's events keep running during the download.
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(10);
        QCOMPARE(client.download(server.url(QStringLiteral("/f")), target), status);
        QCOMPARE(readAll(target), status == UpdateClient::Ok ? route.body : QByteArray("old"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"target"});
        if (route.delayMs > 0)
            QVERIFY(ticks > 0);
    }

    void failsWithoutServer_data()
    {
        QTest::addColumn<QUrl>("source");
        QTest::addColumn<int>("status");
        QTest::newRow("local file")
            << QUrl("file:///etc/hostname") << int(UpdateClient::BadAddress);
        QTest::newRow("nobody listening") << QUrl() << int(UpdateClient::NetworkError);
    }

    void failsWithoutServer()
    {
        QFETCH(QUrl, source);
        QFETCH(int, status);
        if (source.isEmpty()) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            source = QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(closed.serverPort()));
        } // the port is free again here
        const QString target = m_dir.filePath(QStringLiteral("never"));
        UpdateClient client(QUrl("http://127.0.0.1"));
        QCOMPARE(client.download(source, target), status);
        QVERIFY(!QFile::exists(target));
    }

    void cancelAborts()
    {
        TestHttpServer server;
        server.route(QStringLiteral("/f")).hang = true;
        UpdateClient client(server.baseUrl());
        bool closing = false;
        QTimer::singleShot(100, [&] { closing = true; });
        client.setCancelCheck([&] { return closing; });
        const QString target = m_dir.filePath(QStringLiteral("cancelled"));
        QCOMPARE(client.download(server.url(QStringLiteral("/f")), target),
                 int(UpdateClient::Cancelled));
        QVERIFY(!QFile::exists(target));
    }

    void baseAddress_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("versionFile");
        QTest::newRow("command line first") << "https://a.test"
                                            << "http://b.test"
                                            << "http://c.test"
                                            << "https://a.test/DEVAZ/firmware.txt";
        QTest::newRow("then environment") << ""
                                          << "http://b.test:8080/"
                                          << "http://c.test"
                                          << "http://b.test:8080/DEVAZ/firmware.txt";
        QTest::newRow("then saved setting, below a folder")
            << ""
            << ""
            << "c.test/mirror/"
            << "http://c.test/mirror/DEVAZ/firmware.txt";
        QTest::newRow("then default")
            << ""
            << ""
            << "" << QString(UpdateClient::DefaultBaseUrl) + "/DEVAZ/firmware.txt";
        QTest::newRow("not a web address") << "ftp://a.test"
                                           << ""
                                           << ""
                                           << "";
    }

    void baseAddress()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, environment);
        QFETCH(QString, saved);
        QFETCH(QString, versionFile);
        qputenv(UpdateClient::EnvironmentVariable, environment.toUtf8());
        UpdateClient::saveBaseUrl(saved);
        const UpdateClient client(UpdateClient::configuredBaseUrl(commandLine));
        QCOMPARE(client.versionFileUrl().toString(), versionFile);
        qunsetenv(UpdateClient::EnvironmentVariable);
    }

    void folderFallsBackWhenProgramFolderIsUnusable()
    {
        const QString programFolder = m_dir.filePath(QStringLiteral("program"));
        const QString dataFolder = m_dir.filePath(QStringLiteral("data/iveva"));
        QCOMPARE(UpdateFolder::choose(programFolder, dataFolder), dataFolder);
        QVERIFY(QFileInfo(dataFolder).isDir());
        QVERIFY(QDir().mkpath(programFolder));
        QCOMPARE(UpdateFolder::choose(programFolder, dataFolder), programFolder);
        QCOMPARE(QDir(programFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestUpdateClient)
#include "tst_updateclient.moc"
