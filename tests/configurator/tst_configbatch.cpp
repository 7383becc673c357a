// The configurator's batch mode, in-process and through the program, and the upload it shares
// with the upload window.

#include "BatchMode.h"
#include "ConfigTestSupport.h"
#include "LinkTexts.h"

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
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.size(), 51);
        QCOMPARE(result.out.mid(0, 17), DefaultPrint);
        QCOMPARE(result.out[17 + 2], QStringLiteral("warn_egt: 1250 °C"));
        QCOMPARE(result.out[17 + 9], QStringLiteral("Check2: 2"));
        QCOMPARE(result.out[17 + 16], QStringLiteral("da_volt(1): 5,000 V"));
        // The second file opens on top of the first; its unknown contrast leaves "HELL".
        QCOMPARE(result.out[34 + 0], QStringLiteral("warn_lam(1): 0,80"));
        QCOMPARE(result.out[34 + 5], QStringLiteral("kontrast: HELL"));
        QCOMPARE(result.out[34 + 12], QStringLiteral("da: 0")); // read on past the contrast
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
        QTest::newRow("port without upload") << QStringList{"--port", "3", "--print"} << 2 << 0;
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

    // --upload writes configs.eep and uploads it; every port failure ends the run with 1.
    void upload_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("disconnectAfter"); // the gauge's line drops after this block
        QTest::addColumn<QStringList>("lastLines");
        const QString noPort =
            QStringLiteral("Kein gültiger Com-Port gewählt – bitte unter Kommunikation wählen");
        const QStringList success{"Erfolgreich geflasht!"};
        QTest::newRow("--port") << QStringList{"--port", "4"} << 0 << success;
        QTest::newRow("port.dll") << QStringList() << 0 << success;
        QTest::newRow("port 0") << QStringList{"--port", "0"} << 0 << QStringList{noPort};
        QTest::newRow("port 100") << QStringList{"--port", "100"} << 0 << QStringList{noPort};
        QTest::newRow("port cannot be opened")
            << QStringList{"--port", "7"} << 0
            << QStringList{"öffne COM-Port", LinkTexts::openFailed()};
        QTest::newRow("line drops")
            << QStringList() << 1
            << QStringList{LinkTexts::connectionLost(), LinkTexts::openFailed()};
    }
    void upload()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, disconnectAfter);
        QFETCH(QStringList, lastLines);
        Workspace ws;
        GaugeSimulator &gauge = ws.gauge(4, {.disconnectAfter = disconnectAfter});
        ws.write(QStringLiteral("port.dll"), QByteArray(1, char(arguments.isEmpty() ? 4 : 9)));
        ws.write(QStringLiteral("warnings.eep"), Images::warnings());
        const Result result =
            runBatch(QStringList{"--open", "warnings.eep", "--upload"} + arguments);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out.mid(result.out.size() - lastLines.size()), lastLines);
        QCOMPARE(ws.read(QStringLiteral("configs.eep")), Images::warnings());
        QCOMPARE(result.exitCode, lastLines == QStringList{"Erfolgreich geflasht!"} ? 0 : 1);
        if (result.exitCode == 0) {
            QCOMPARE(result.out.first(), QStringLiteral("öffne COM-Port"));
            QVERIFY(gauge.waitForImages(1, 5s));
            QCOMPARE(gauge.lastEepromImage(), Images::warnings() + QByteArray(107, '\0'));
        }
    }

    // The program itself runs the batch mode without a window and returns its exit code.
    void program()
    {
        Workspace ws;
        QProcess program;
        program.start(QStringLiteral(IVEVA_CONFIGURATOR_EXE), {"--print"});
        QVERIFY(program.waitForFinished(30'000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 DefaultPrint);
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
