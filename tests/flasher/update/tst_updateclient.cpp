// The pieces of the online update: downloads, the server's address, the download folder, the
// version file and the version numbers.

#include "FirmwareVersion.h"
#include "TestHttpServer.h"
#include "UpdateClient.h"
#include "UpdateFolder.h"
#include "VersionFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QNetworkProxy>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

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
        // A German desktop writes 2,16 for two point one six: the versions must not care.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void download_data()
    {
        QTest::addColumn<TestHttpServer::Route>("route");
        QTest::addColumn<QString>("source"); // empty: the route on the server
        QTest::addColumn<DownloadOutcome>("status");
        using R = TestHttpServer::Route;
        const QByteArray largest(UpdateClient::MaxBodyBytes, '\x5a');
        QTest::newRow("largest image") << R{largest} << "" << DownloadOutcome::Ok;
        QTest::newRow("404") << R{"gone", 404} << "" << DownloadOutcome::HttpError;
        QTest::newRow("empty body") << R{""} << "" << DownloadOutcome::EmptyBody;
        QTest::newRow("oversized, no length given")
            << R{largest + 'x', 200, 0, false, false} << "" << DownloadOutcome::TooLarge;
        QTest::newRow("too slow") << R{"abc", 200, 3000} << "" << DownloadOutcome::TimedOut;
        // An address from the server must never make us read a local file.
        QTest::newRow("local file") << R{} << "file:///etc/hostname" << DownloadOutcome::BadAddress;
    }

    // Only a whole download writes the file; a failed one leaves what was there before.
    void download()
    {
        QFETCH(TestHttpServer::Route, route);
        QFETCH(QString, source);
        QFETCH(DownloadOutcome, status);
        TestHttpServer server;
        server.route(QStringLiteral("/f")) = route;
        const QString target = m_dir.filePath(QStringLiteral("target"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
        old.write("old");
        old.close();
        UpdateClient client(server.baseUrl());
        client.setTimeoutMs(200);

        const QUrl url = source.isEmpty() ? server.baseUrl().resolved(QUrl("/f")) : QUrl(source);
        QCOMPARE(client.download(url, target), status);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), status == DownloadOutcome::Ok ? route.body : QByteArray("old"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"target"});
    }

    void baseAddress_data()
    {
        QTest::addColumn<QStringList>("given"); // command line, environment, saved setting
        QTest::addColumn<QString>("versionFile");
        QTest::newRow("command line first")
            << QStringList{"https://a.test", "http://b.test", "c.test"}
            << "https://a.test/DEVAZ/firmware.txt";
        QTest::newRow("then environment") << QStringList{"", "http://b.test:8080/", "c.test"}
                                          << "http://b.test:8080/DEVAZ/firmware.txt";
        QTest::newRow("then saved setting, below a folder")
            << QStringList{"", "", "c.test/mirror/"} << "http://c.test/mirror/DEVAZ/firmware.txt";
        QTest::newRow("not a web address") << QStringList{"ftp://a.test", "", ""} << "";
    }

    void baseAddress()
    {
        QFETCH(QStringList, given);
        QFETCH(QString, versionFile);
        qputenv(UpdateClient::EnvironmentVariable, given[1].toUtf8());
        UpdateClient::saveBaseUrl(given[2]);
        const UpdateClient client(UpdateClient::configuredBaseUrl(given[0]));
        QCOMPARE(client.versionFileUrl().toString(), versionFile);
        qunsetenv(UpdateClient::EnvironmentVariable);
    }

    // An installed program's folder is not writable: the user's data folder takes its place.
    void folderFallsBack()
    {
        const QString programFolder = m_dir.filePath(QStringLiteral("program"));
        const QString dataFolder = m_dir.filePath(QStringLiteral("data/iveva"));
        QCOMPARE(UpdateFolder::choose(programFolder, dataFolder), dataFolder);
        QVERIFY(QFileInfo(dataFolder).isDir());
        QVERIFY(QDir().mkpath(programFolder));
        QCOMPARE(UpdateFolder::choose(programFolder, dataFolder), programFolder);
        QCOMPARE(QDir(programFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void versionFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("fields"); // empty: fewer than three fields
        const QStringList plain = {"V2.20", "http://h/f/v220.bin", "v220.bin"};
        QTest::newRow("line ends, rest ignored")
            << QByteArray("V2.20\r\nhttp://h/f/v220.bin\r\nv220.bin,V9.99\r\nmore") << plain;
        QTest::newRow("leading blanks, empty lines")
            << QByteArray("  V2.20,\t http://h/f/v220.bin\n\n   v220.bin  \n") << plain;
        QTest::newRow("quoted fields hold commas")
            << QByteArray("\"V2.20\" x, \"http://h/a,b.bin\",\"a, b.bin\"")
            << QStringList{"V2.20", "http://h/a,b.bin", "a, b.bin"};
        QTest::newRow("commas inside quotes")
            << QByteArray("\"V2.20,http://h/f.bin,f.bin\"") << QStringList();
    }

    void versionFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, fields);
        const std::optional<VersionFile> file = VersionFile::parse(text);
        QCOMPARE(file.has_value(), !fields.isEmpty());
        if (file)
            QCOMPARE(
                QStringList({file->availableVersion(), file->copyAddress(), file->copyFileName()}),
                fields);
    }

    // Decimal numbers, read the same on a German desktop (2.16 is not 216).
    void versionNumbers()
    {
        const auto higher = [](const char *available, const char *installed) {
            return FirmwareVersion::availableNumber(available).value_or(0) >
                   FirmwareVersion::installedNumber(installed).value_or(1e9);
        };
        QVERIFY(higher("V3", "V2.16"));
        QVERIFY(higher("V10.5", "V9.99"));
        for (const char *text : {"", "V", "V2,16", "Vx.yz", "V 2.16", "V1e3", "Vinf"}) {
            QVERIFY2(!FirmwareVersion::availableNumber(text), text);
            QVERIFY2(!FirmwareVersion::installedNumber(text), text);
        }
    }
};

QTEST_GUILESS_MAIN(TestUpdateClient)
#include "tst_updateclient.moc"
