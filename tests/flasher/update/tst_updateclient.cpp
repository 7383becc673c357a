// The pieces of the online update: downloads, the server's address, the download folder, the
// version file and the version numbers.

#include "TestFiles.h"
#include "TestHttpServer.h"
#include "flasher/update/FirmwareVersion.h"
#include "flasher/update/SafeFileName.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/UpdateFolder.h"
#include "flasher/update/VersionFile.h"
#include "shell/RunContext.h"
#include "shell/SavedSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QTest>

using namespace devicelink;
using namespace flasher;

class TestUpdateClient : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
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
        QTest::newRow("empty body") << R{""} << "" << DownloadOutcome::EmptyBody;
        QTest::newRow("oversized, no length given")
            << R{largest + 'x', 200, 0, false, false} << "" << DownloadOutcome::TooLarge;
        QTest::newRow("too slow") << R{"abc", 200, 3000} << "" << DownloadOutcome::TimedOut;
        QTest::newRow("a byte now and then, past the total limit")
            << R{"0123456789", 200, 0, false, true, 100} << "" << DownloadOutcome::TimedOut;
        QTest::newRow("shorter than its length")
            << R{"abc", 200, 0, false, true, 0, 5} << "" << DownloadOutcome::NetworkError;
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
        writeBytes(target, "old");
        // Bytes every 100 ms keep the idle time from running out; only the total limit ends it.
        // Otherwise a second of silence, so that a slow machine still gets 4 MB through.
        UpdateClient client(server.baseUrl(), {.idleMs = route.trickleMs ? 5000 : 1000,
                                               .imageMs = route.trickleMs ? 300 : 30'000});

        const QUrl url = source.isEmpty() ? server.baseUrl().resolved(QUrl("/f")) : QUrl(source);
        QCOMPARE(client.download(url, target), status);
        const QByteArray kept = readBytes(target);
        QCOMPARE(kept, status == DownloadOutcome::Ok ? route.body : QByteArray("old"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"target"});
        // Whatever a download leaves, the transfer can count its blocks.
        QVERIFY(FlashImage(kept).blockCount() <= FlashImage::MaxBlocks);
    }

    void safeFileName_data()
    {
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("name");
        const char *rows[][3] = {
            {"resource path", ":evil.bin", "evil.bin"},
            {"folders, either separator", "../../x/C:\\fw\\y.bin", "y.bin"},
            {"a folder only", "sub/", "lastfw.bin"},
            {"control characters", "new\r\n.bin\x7f", "new.bin"},
            {"windows forbids", "a<b>c|d?e*f\".bin", "abcdef.bin"},
            {"dots and blanks", " ..hidden.bin. ", "hidden.bin"},
            {"device name, extension", "com1 .bin", "lastfw.bin"},
            {"device-like name", "console.bin", "console.bin"},
        };
        for (const auto &[tag, proposed, name] : rows)
            QTest::newRow(tag) << QString::fromUtf8(proposed) << QString::fromUtf8(name);
    }

    void safeFileName()
    {
        QFETCH(QString, proposed);
        QTEST(flasher::SafeFileName(proposed), "name");
    }

    // The command line, then the environment, then the saved setting; web addresses only.
    void baseAddress()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
        QCoreApplication::setOrganizationName("ROZID");
        QCoreApplication::setApplicationName("tst_updateclient");
        const auto fileUrl = [](const char *line, const char *environment, const char *saved) {
            qputenv(UpdateClient::EnvironmentVariable, environment);
            if (!shell::saveSetting(UpdateClient::SettingsKey, saved).isEmpty())
                return QString("not saved");
            QString error;
            const shell::RunContext context = *shell::readRunContext(
                &error, {line, UpdateClient::EnvironmentVariable, UpdateClient::SettingsKey, "d"});
            return UpdateClient(UpdateClient::baseUrlFromText(context.updateUrl))
                .versionFileUrl()
                .toString();
        };
        QCOMPARE(fileUrl("https://a", "http://b", "c"), QString("https://a/DEVAZ/firmware.txt"));
        QCOMPARE(fileUrl("", "http://b:8080/", "c"), QString("http://b:8080/DEVAZ/firmware.txt"));
        QCOMPARE(fileUrl("", "", "c/mirror/"), QString("http://c/mirror/DEVAZ/firmware.txt"));
        QCOMPARE(fileUrl(" ", "", ""), QString("http://d/DEVAZ/firmware.txt"));
        QCOMPARE(fileUrl("ftp://a", "", ""), QString());
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
        // empty: fewer than three fields; the fourth: the SHA-256 taken from the file
        QTest::addColumn<QStringList>("fields");
        const QStringList plain = {"V2.20", "http://h/f/v220.bin", "v220.bin", ""};
        QTest::newRow("line ends, blanks, empty lines, rest ignored")
            << QByteArray("  V2.20\r\n\t http://h/f/v220.bin\n\n  v220.bin  ,V9.99\r\nmore")
            << plain;
        QTest::newRow("quoted fields hold commas")
            << QByteArray("\"V2.20\" x, \"http://h/a,b.bin\",\"a, b.bin\"")
            << QStringList{"V2.20", "http://h/a,b.bin", "a, b.bin", ""};
        QTest::newRow("checksum one digit short")
            << "V2.20,http://h/f/v220.bin,v220.bin," + QByteArray(63, 'a') << plain;
        QTest::newRow("commas inside quotes")
            << QByteArray("\"V2.20,http://h/f.bin,f.bin\"") << QStringList();
    }

    void versionFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, fields);
        const std::optional<VersionFile> file = VersionFile::parse(text);
        QCOMPARE(file ? QStringList({file->availableVersion(), file->copyAddress(),
                                     file->copyFileName(), QString::fromLatin1(file->sha256())})
                      : QStringList(),
                 fields);
    }

    // Decimal numbers, read the same on a German desktop (2.16 is not 216).
    void versionNumbers()
    {
        QCOMPARE(FirmwareVersion::installedNumber("V2.16").value_or(0), 2.16);
        QCOMPARE(FirmwareVersion::availableNumber("V10.5").value_or(0), 10.5);
        QCOMPARE(FirmwareVersion::availableNumber("V3").value_or(0), 3.0);
        for (const char *text : {"", "V", "V2,16", "Vx.yz", "V 2.16", "V1e3", "Vinf"}) {
            QVERIFY2(!FirmwareVersion::availableNumber(text), text);
            QVERIFY2(!FirmwareVersion::installedNumber(text), text);
        }
    }
};

QTEST_GUILESS_MAIN(TestUpdateClient)
#include "tst_updateclient.moc"
