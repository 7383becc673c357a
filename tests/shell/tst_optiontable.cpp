// Both programs' option tables from one place: what the command line parses to, whether it
// runs without a window, what --help lists, and which option acts.

#include "TestContext.h"
#include "configurator/BatchMode.h"
#include "flasher/BatchMode.h"

#include <QTemporaryDir>
#include <QTest>

class TestOptionTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(testContext().link.portDir)); }

    void commandLines_data()
    {
        QTest::addColumn<bool>("flasher");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: the window opens
        // The first line on stderr, or text on stdout with its blanks collapsed.
        QTest::addColumn<QString>("said");
        const auto row = [](bool flasher, const QByteArray &line, int status, const QString &said) {
            QTest::addRow("%s %s", flasher ? "flasher" : "configurator", line.constData())
                << flasher << QString(line).split(' ') << status << said;
        };
        const char *portError = "--port erwartet eine Zahl von 1 bis 99, COMn oder einen "
                                "Gerätepfad, nicht \"%1\"";
        row(true, "--port 3", 2,
            "ein Befehl fehlt: --firmware, --eeprom, --search, --info, --update oder --list-ports");
        row(true, "--search --info", 2, "nur ein Befehl auf einmal");
        for (const char *port : {"0", "100", "tty0"})
            row(true, QByteArray("--info --port ") + port, 2, QString(portError).arg(port));
        row(true, "--info --speed 9600", 2, "--speed erwartet 4800, 19200 oder 38400");
        row(true, "--info COM3", 2, "unerwartetes Argument \"COM3\"");
        row(true, "--update --download-timeout 3601", 2,
            "--download-timeout erwartet Sekunden von 1 bis 3600");
        // A file of the wrong kind is a wrong call, whether it exists or not.
        for (const char *file : {"cfg.eep", "fw.bin.old"})
            row(true, QByteArray("--firmware ") + file, 2,
                "--firmware erwartet eine Datei mit der Endung .bin");
        row(true, "--eeprom fw.bin", 2, "--eeprom erwartet eine Datei mit der Endung .eep");
        row(true, "--update-url http://localhost", -1, "");
        row(true, "--list-ports --list-ports", 0, "Kein serieller Port gefunden");
        row(true, "-h", 0, "--trace Jedes gesendete (>) und empfangene (<) Byte mit");
        row(false, "--print --bogus", 2, "unbekannte Option \"--bogus\"");
        row(false, "--port 3 --print", 2, "--port gehört genau einmal zu --upload");
        row(false, "--analog --stoich 30,5", 2,
            "--stoich erwartet eine Zahl von 1 bis 30 wie 14,7, nicht \"30,5\"");
        row(false, "--analog --stoich=1e1", 2,
            "--stoich erwartet eine Zahl von 1 bis 30 wie 14,7, nicht \"1e1\"");
        row(false, "--log a --print --log b", 2, "--log nur einmal");
        row(false, "--print --trace", 0, "kontrast: DUNKEL");
        row(false, "--help", 0, "--trace Jedes gesendete (>) und empfangene (<) Byte mit");
    }

    void commandLines()
    {
        QFETCH(bool, flasher);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        const QString name = flasher ? "iveva-flasher" : "iveva-configurator";
        QTemporaryDir work;
        // A wrong call is refused before the log is opened or a port is touched.
        if (flasher && status == 2)
            arguments << "--log" << work.filePath("log");
        const shell::CommandLine line = shell::CommandLine::parse(
            flasher ? flasher::BatchMode::program() : configurator::BatchMode::program(),
            QStringList{name} + arguments);
        QCOMPARE(line.runsBatch() || !line.error().isEmpty(), status >= 0);
        if (status < 0)
            return;
        shell::RunContext context = testContext();
        context.workingFolder = work.path();
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int ran = flasher
                            ? flasher::BatchMode::Run(line, context, outStream, errStream, false)
                            : configurator::BatchMode::run(line, context, outStream, errStream);
        QCOMPARE(ran, status);
        if (status == 2) {
            QCOMPARE(err, name + ": " + said + "\n" + name + " --help zeigt die Optionen.\n");
            QVERIFY(!QFile::exists(work.filePath("log")));
        } else
            QVERIFY2(err.startsWith(said) || out.simplified().contains(said),
                     qPrintable(out + err));
    }
};

QTEST_GUILESS_MAIN(TestOptionTable)
#include "tst_optiontable.moc"
