// The flasher's batch mode against simulated gauges, in process and through the program.

#include "BatchMode.h"
#include "ComPort.h"
#include "FlasherTestKit.h"

#include <QCoreApplication>
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
    void commands_data()
    {
        QTest::addColumn<QList<int>>("gauges");
        QTest::addColumn<QList<int>>("silent");
        QTest::addColumn<QStringList>("arguments"); // "@fw" and "@ee" stand for the files
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // printed in this order, among others

        const QStringList success{"öffne COM-Port", "Blöcke gesamt:  3", "Erfolgreich geflasht!"};
        QTest::newRow("firmware on the chosen port")
            << QList<int>{2, 7} << QList<int>() << QStringList{"--firmware", "@fw", "--port", "7"}
            << 0 << success;
        QTest::newRow("EEPROM on the first port at 38400")
            << QList<int>{4} << QList<int>() << QStringList{"--eeprom", "@ee", "--speed", "38400"}
            << 0 << success;
        QTest::newRow("missing file")
            << QList<int>{4} << QList<int>() << QStringList{"--firmware", "@gone"} << 1
            << QStringList{"öffne COM-Port", "Datei: @gone existiert nicht"};
#ifdef Q_OS_LINUX
        // Exists but cannot be read: must not go out as an empty image that "succeeds".
        QTest::newRow("unreadable file")
            << QList<int>{4} << QList<int>() << QStringList{"--firmware", "/proc/self/mem"} << 1
            << QStringList{"öffne COM-Port", "Datei: /proc/self/mem kann nicht gelesen werden"};
#endif
        QTest::newRow("no port can be opened")
            << QList<int>{4} << QList<int>() << QStringList{"--eeprom", "@ee", "--port", "9"} << 1
            << QStringList{"öffne COM-Port", "Fehler beim öffnen des Comports"};
        QTest::newRow("no ports at all")
            << QList<int>() << QList<int>() << QStringList{"--firmware", "@fw"} << 1
            << QStringList{"Kein verfügbarer Comport gefunden"};
        QTest::newRow("search") << QList<int>{6} << QList<int>{3} << QStringList{"--search"} << 0
                                << QStringList{
                                       "Gerät suchen...", "Port 3 Gerät nicht gefunden",
                                       "Port 6 Gerät gefunden!",
                                       "auf dem Gerät installierte Firmware Version: V2.16"};
        QTest::newRow("search without a gauge")
            << QList<int>() << QList<int>{3} << QStringList{"--search"} << 1
            << QStringList{"Gerät suchen...", "Port 3 Gerät nicht gefunden"};
        QTest::newRow("info") << QList<int>{5} << QList<int>() << QStringList{"--info"} << 0
                              << QStringList{"auf dem Gerät installierte Firmware Version: V2.16"};
        QTest::newRow("info without a gauge")
            << QList<int>() << QList<int>{5} << QStringList{"--info", "--port", "5"} << 1
            << QStringList{"Gerät nicht gefunden oder Firmware kleiner als V2.16"};
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
            ports.add(com);
        GaugeOptions quiet;
        quiet.silent = true;
        for (int com : silent)
            ports.add(com, quiet);
        const QString fw = writeFile(m_files, QStringLiteral("fw.bin"), 300);
        const QString ee = writeFile(m_files, QStringLiteral("ee.eep"), 300);
        const QString gone = m_files.filePath(QStringLiteral("gone.bin"));
        const auto resolve = [&](QString text) {
            return text.replace("@fw", fw).replace("@ee", ee).replace("@gone", gone);
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
        QTest::newRow("unknown option") << QStringList{"--info", "--fast"};
        QTest::newRow("stray argument") << QStringList{"--info", "COM3"};
        QTest::newRow("file missing its name") << QStringList{"--firmware"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        SimulatedPorts ports;
        const Output output = runBatch(arguments);
        QCOMPARE(output.status, 2);
        QVERIFY(output.out.isEmpty());
        QVERIFY(output.err.startsWith("iveva-flasher: "));
    }

    // The program itself: exit status and output of a whole run.
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
