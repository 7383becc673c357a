// The configurator's batch mode, in-process and through the program, and the upload it shares
// with the upload window.

#include "BatchMode.h"
#include "ConfigTestSupport.h"
#include "ConfigUpload.h"
#include "LinkTexts.h"
#include "ScriptedPort.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>

#include <chrono>

using namespace std::chrono_literals;

namespace {

struct Result
{
    int exitCode;
    QStringList out;
    QString err;
};

Result runBatch(const QStringList &arguments)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int code = BatchMode::run(QStringList{QStringLiteral("iveva-configurator")} + arguments,
                                    outStream, errStream);
    return {code, out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), err};
}

const QStringList DefaultPrint{"warn_lam(1): AUS",
                               "warn_lam(0): AUS",
                               "warn_egt: AUS",
                               "warn_boost: AUS",
                               "daem: 0 ms",
                               "kontrast: DUNKEL",
                               "slot: Lambda",
                               "Check1: 0",
                               "slot3sel: Lambdatemperatur / Heizung",
                               "Check2: 0",
                               "Check3: 0",
                               "unterdruckschwelle: -0,95",
                               "da: 0",
                               "da_lam(0): 0,65",
                               "da_lam(1): 0,65",
                               "da_volt(0): 0,000 V",
                               "da_volt(1): 0,000 V"};

// The default listing with some lines replaced.
QStringList printed(const QMap<int, QString> &changes)
{
    QStringList lines = DefaultPrint;
    for (auto it = changes.begin(); it != changes.end(); ++it)
        lines[it.key()] = it.value();
    return lines;
}

} // namespace

class TestConfigBatch : public QObject
{
    Q_OBJECT

private slots:
    // Open, print and save in the order given, each file on top of what came before.
    void optionsRunInOrder()
    {
        Workspace ws;
        ws.write(QStringLiteral("extremes.eep"), Images::extremes());
        QByteArray contrast7 = Images::warnings();
        contrast7[11] = 7;
        ws.write(QStringLiteral("contrast7.eep"), contrast7);
        const Result result =
            runBatch({"--save", "default.eep", "--print", "--open=extremes.eep", "--print",
                      "--save", "copy.eep", "--open", "contrast7.eep", "--print"});
        const QStringList extremes = printed({{2, "warn_egt: 1250 °C"},
                                              {5, "kontrast: HELL"},
                                              {7, "Check1: 1"},
                                              {9, "Check2: 2"},
                                              {11, "unterdruckschwelle: -0,01"},
                                              {12, "da: 1"},
                                              {14, "da_lam(1): 2,55"},
                                              {16, "da_volt(1): 5,000 V"}});
        // The second file opens on top of the first; its unknown contrast leaves "HELL".
        const QStringList warnings = printed({{0, "warn_lam(1): 0,80"},
                                              {1, "warn_lam(0): 1,20"},
                                              {2, "warn_egt: 950 °C"},
                                              {3, "warn_boost: 1,00"},
                                              {4, "daem: 100 ms"},
                                              {5, "kontrast: HELL"}});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out, DefaultPrint + extremes + warnings);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(ws.read(QStringLiteral("default.eep")), Images::defaults());
        QCOMPARE(ws.read(QStringLiteral("copy.eep")), Images::extremes());
    }

    void failuresAndUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("printedLines"); // a failure ends the run
        QTest::newRow("missing file") << QStringList{"--open", "none.eep", "--print"} << 1 << 0;
        QTest::newRow("unwritable")
            << QStringList{"--print", "--save", "no/dir/x.eep", "--print"} << 1 << 17;
        QTest::newRow("unknown option") << QStringList{"--print", "--bogus"} << 2 << 0;
        QTest::newRow("stray argument") << QStringList{"--print", "file.eep"} << 2 << 0;
        QTest::newRow("port without upload") << QStringList{"--port", "3", "--print"} << 2 << 0;
        QTest::newRow("port not a number") << QStringList{"--upload", "--port", "x"} << 2 << 0;
    }
    void failuresAndUsageErrors()
    {
        QFETCH(QStringList, arguments);
        Workspace ws;
        const Result result = runBatch(arguments);
        QTEST(result.exitCode, "exitCode");
        QTEST(int(result.out.size()), "printedLines");
        QVERIFY(!result.err.isEmpty());
        QVERIFY(!QFile::exists(ws.path(QStringLiteral("configs.eep"))));
    }

    void uploadIntoTheSimulator_data()
    {
        QTest::addColumn<QStringList>("portArguments");
        QTest::addColumn<QByteArray>("portFile");
        QTest::newRow("--port") << QStringList{"--port", "4"} << QByteArray("\x09", 1);
        QTest::newRow("port.dll") << QStringList() << QByteArray("\x04", 1);
    }
    void uploadIntoTheSimulator()
    {
        QFETCH(QStringList, portArguments);
        QFETCH(QByteArray, portFile);
        Workspace ws;
        GaugeSimulator &gauge = ws.gauge(4);
        ws.write(QStringLiteral("port.dll"), portFile);
        ws.write(QStringLiteral("warnings.eep"), Images::warnings());
        const Result result =
            runBatch(QStringList{"--open", "warnings.eep", "--upload"} + portArguments);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.first(), QStringLiteral("öffne COM-Port"));
        QCOMPARE(result.out.last(), QStringLiteral("Erfolgreich geflasht!"));
        QCOMPARE(ws.read(QStringLiteral("configs.eep")), Images::warnings());
        QVERIFY(gauge.waitForImages(1, 5s));
        QCOMPARE(gauge.lastEepromImage(), Images::warnings() + QByteArray(107, '\0'));
    }

    void uploadFailures_data()
    {
        QTest::addColumn<QString>("portText");
        QTest::addColumn<bool>("imageFile");
        QTest::addColumn<int>("loseAfterEntries"); // 0: the port stays
        QTest::addColumn<bool>("started");         // the port was opened
        QTest::addColumn<QStringList>("log");
        const QString noPort =
            QStringLiteral("Kein gültiger Com-Port gewählt – bitte unter Kommunikation wählen");
        QTest::newRow("port 0") << "0" << true << 0 << false << QStringList{noPort};
        QTest::newRow("port 100") << "100" << true << 0 << false << QStringList{noPort};
        QTest::newRow("no configs.eep")
            << "5" << false << 0 << false
            << QStringList{"Datei configs.eep nicht lesbar – nichts hochgeladen"};
        QTest::newRow("port cannot be opened")
            << "7" << true << 0 << true << QStringList{"öffne COM-Port", LinkTexts::openFailed()};
        QTest::newRow("port fails during the upload")
            << "5" << true << 2 << true
            << QStringList{"öffne COM-Port", "auf Controllerreset warten...",
                           LinkTexts::connectionLost(), LinkTexts::openFailed()};
    }
    void uploadFailures()
    {
        QFETCH(QString, portText);
        QFETCH(bool, imageFile);
        QFETCH(int, loseAfterEntries);
        QFETCH(bool, started);
        Workspace ws;
        if (imageFile)
            ws.write(ConfigUpload::imageFileName(), Images::defaults());
        ScriptedPort port;
        port.unopenable = {7};
        int entries = 0;
        port.onWrite = [&](ScriptedPort &p, const QByteArray &) {
            if (++entries == loseAfterEntries)
                p.loseAfter(3);
        };
        QStringList lines;
        LinkHooks hooks;
        hooks.log = [&lines](const QString &line, LinkHooks::LineStyle) { lines.append(line); };

        const ConfigUpload::Outcome outcome =
            ConfigUpload::run(port, portText, ConfigUpload::imageFileName(), hooks);
        QCOMPARE(outcome,
                 started ? ConfigUpload::Outcome::Failed : ConfigUpload::Outcome::NotStarted);
        QTEST(lines, "log");
        QCOMPARE(port.openedPorts(), started ? QList<int>{portText.toInt()} : QList<int>());
        QVERIFY(!port.isOpen());
    }

    // The program itself runs the batch mode without a window and returns its exit code.
    void programExitCodes()
    {
        Workspace ws;
        QProcess program;
        program.start(QStringLiteral(IVEVA_CONFIGURATOR_EXE), {"--print"});
        QVERIFY(program.waitForFinished(30'000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 DefaultPrint);
        program.start(QStringLiteral(IVEVA_CONFIGURATOR_EXE), {"--print", "--nope"});
        QVERIFY(program.waitForFinished(30'000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardOutput().isEmpty());
    }
};

int main(int argc, char *argv[])
{
    qputenv("IVEVA_POLL_US", "5");
    QCoreApplication app(argc, argv);
    TestConfigBatch test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_configbatch.moc"
