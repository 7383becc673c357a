// The flasher's batch mode against simulated gauges and a local update server, in process and
// through the program.

#include "BatchMode.h"
#include "ComPort.h"
#include "FlasherTestKit.h"
#include "TestHttpServer.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QProcess>

using namespace std::chrono_literals;

namespace {

struct Output
{
    int status = -1;
    QString out;
    QString err;
};

Output runBatch(const QStringList &arguments, bool percentLine = false)
{
    Output output;
    QTextStream out(&output.out);
    QTextStream err(&output.err);
    ComPort port;
    output.status =
        BatchMode::Run(QStringList{"iveva-flasher"} + arguments, port, out, err, percentLine);
    return output;
}

} // namespace

class TestBatchMode : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void commands_data()
    {
        QTest::addColumn<QList<int>>("gauges");
        QTest::addColumn<QList<int>>("silent");
        // "@fw", "@ee", "@gone", "@dir" and "@url" stand for the files, a folder and the server.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // printed in this order, among others
        using L = QList<int>;
        const QStringList success{"öffne COM-Port", "Blöcke gesamt:  3", "Erfolgreich geflasht!"};
        const QString installed = "auf dem Gerät installierte Firmware Version: V2.16";
        QTest::newRow("firmware on the chosen port")
            << L{2, 7} << L() << QStringList{"--firmware", "@fw", "--port", "7"} << 0 << success;
        QTest::newRow("EEPROM on the first port at 38400")
            << L{4} << L() << QStringList{"--eeprom", "@ee", "--speed", "38400"} << 0 << success;
        QTest::newRow("missing file")
            << L{4} << L() << QStringList{"--firmware", "@gone"} << 1
            << QStringList{"öffne COM-Port", "Datei: @gone existiert nicht"};
#ifdef Q_OS_LINUX
        // Exists but cannot be read: must not go out as an empty image that "succeeds".
        QTest::newRow("unreadable file")
            << L{4} << L() << QStringList{"--firmware", "/proc/self/mem"} << 1
            << QStringList{"Datei: /proc/self/mem kann nicht gelesen werden"};
#endif
        QTest::newRow("port cannot be opened")
            << L{4} << L() << QStringList{"--eeprom", "@ee", "--port", "9"} << 1
            << QStringList{"öffne COM-Port", "Fehler beim öffnen des Comports"};
        QTest::newRow("search") << L{6} << L{3} << QStringList{"--search"} << 0
                                << QStringList{"Gerät suchen...", "Port 3 Gerät nicht gefunden",
                                               "Port 6 Gerät gefunden!", installed};
        QTest::newRow("search without a gauge")
            << L() << L{3} << QStringList{"--search"} << 1
            << QStringList{"Gerät suchen...", "Port 3 Gerät nicht gefunden"};
        QTest::newRow("info") << L{5} << L() << QStringList{"--info"} << 0
                              << QStringList{installed};
        QTest::newRow("info without a gauge")
            << L() << L{5} << QStringList{"--info", "--port", "5"} << 1
            << QStringList{"Gerät nicht gefunden oder Firmware kleiner als V2.16"};
        QTest::newRow("update: versions only")
            << L{5} << L() << QStringList{"--update", "--update-url", "@url"} << 1
            << QStringList{installed, "Verfügbare Firmwareversion: V2.20"};
        QTest::newRow("update --yes, no copy")
            << L{5} << L() << QStringList{"--update", "--yes", "--update-url", "@url"} << 0
            << QStringList{installed, "Hilfsdatei downloaden...", "Erfolgreich geflasht!"};
        QTest::newRow("update --yes --copy FOLDER")
            << L{5} << L()
            << QStringList{"--update", "--yes", "--copy", "@dir", "--update-url", "@url"} << 0
            << QStringList{"Download erfolgreich!", "Erfolgreich geflasht!"};
    }

    void commands()
    {
        QFETCH(QList<int>, gauges);
        QFETCH(QList<int>, silent);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        SimulatedPorts ports;
        for (int com : gauges)
            ports.add(com, GaugeOptions{.resetDelay = 50ms});
        for (int com : silent)
            ports.add(com, GaugeOptions{.silent = true});
        TestHttpServer server;
        server.route("/DEVAZ/firmware.txt").body = "V2.20,/files/new.bin,new.bin";
        server.route("/files/new.bin").body = "new firmware";
        server.route("/DEVAZ/lastfw.bin").body = "new firmware";
        QTemporaryDir copies;
        const QString fw = writeFile(m_files, QStringLiteral("fw.bin"), 300);
        const QString ee = writeFile(m_files, QStringLiteral("ee.eep"), 300);
        const QString gone = m_files.filePath(QStringLiteral("gone.bin"));
        const auto resolve = [&](QString text) {
            return text.replace("@fw", fw)
                .replace("@ee", ee)
                .replace("@gone", gone)
                .replace("@dir", copies.path())
                .replace("@url", server.baseUrl().toString());
        };
        for (QString &argument : arguments)
            argument = resolve(argument);

        const Output output = runBatch(arguments);

        QCOMPARE(output.status, status);
        QVERIFY(output.err.isEmpty());
        const QStringList printed = output.out.split('\n', Qt::SkipEmptyParts);
        qsizetype from = 0;
        for (const QString &line : lines) {
            from = printed.indexOf(resolve(line), from);
            QVERIFY2(from >= 0, qPrintable(resolve(line) + " missing in:\n" + output.out));
        }
        QCOMPARE(QFile::exists(copies.filePath("new.bin")), arguments.contains("--copy"));
    }

    void storesTheImage()
    {
        SimulatedPorts ports;
        GaugeSimulator &gauge = ports.add(1);
        const QString path = writeFile(m_files, QStringLiteral("stored.eep"), 21);

        const Output output = runBatch({"--eeprom", path}, true);

        QCOMPARE(output.status, 0);
        QVERIFY(gauge.waitForImages(1, 5s));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(gauge.lastEepromImage().left(21), file.readAll());
        // On a terminal the percentage is one line on stderr, redrawn below the log lines.
        QVERIFY(output.err.startsWith("\r100 %"));
        QVERIFY(output.err.endsWith("100 %\n"));
        QVERIFY(!output.out.contains('\r'));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{"--port", "3"};
        QTest::newRow("two commands") << QStringList{"--search", "--info"};
        QTest::newRow("port 0") << QStringList{"--info", "--port", "0"};
        QTest::newRow("speed 9600") << QStringList{"--info", "--speed", "9600"};
        QTest::newRow("stray argument") << QStringList{"--info", "COM3"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Output output = runBatch(arguments);
        QCOMPARE(output.status, 2);
        QVERIFY(output.out.isEmpty());
        QVERIFY(output.err.startsWith("iveva-flasher: "));
    }

    // The program itself passes the batch mode's exit status on.
    void program()
    {
        SimulatedPorts ports;
        ports.add(2);
        QProcess flasher;
        flasher.start(QStringLiteral(FLASHER_PROGRAM), {"--info", "--port", "2"});
        QVERIFY(flasher.waitForFinished(30'000));
        QCOMPARE(flasher.exitCode(), 0);
        QVERIFY(QString::fromUtf8(flasher.readAllStandardOutput())
                    .contains("auf dem Gerät installierte Firmware Version: V2.16\n"));
        flasher.start(QStringLiteral(FLASHER_PROGRAM), {"--info", "--speed", "1"});
        QVERIFY(flasher.waitForFinished(30'000));
        QCOMPARE(flasher.exitCode(), 2);
    }
};

int main(int argc, char *argv[])
{
    qputenv("IVEVA_POLL_US", "5");
    QCoreApplication app(argc, argv);
    TestBatchMode test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_batchmode.moc"
