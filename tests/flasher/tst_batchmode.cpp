// The flasher's batch mode against simulated gauges and a local update server, in process and
// through the program.

#include "FlasherTestKit.h"
#include "TestContext.h"
#include "TestHttpServer.h"
#include "devicelink/ComPort.h"
#include "flasher/BatchMode.h"
#include "flasher/UploadCommand.h"
#include "flasher/update/UpdateClient.h"

#include <QCryptographicHash>
#include <QNetworkProxy>
#include <QProcess>
#include <QTimer>

#include <sys/stat.h>

using namespace devicelink;
using namespace flasher;
using namespace sim;
using namespace std::chrono_literals;

namespace {

struct Output
{
    int status = -1;
    QString out, err;
};

// In process with the percentage on its own line, or through the program itself, then with its
// settings below `config` when one is named. The test's server answers while the program runs.
Output runBatch(const QStringList &arguments, bool viaProgram, const QString &config = {})
{
    Output output;
    if (viaProgram) {
        QProcess flasher;
        if (!config.isEmpty()) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("XDG_CONFIG_HOME", config);
            environment.remove(UpdateClient::EnvironmentVariable);
            flasher.setProcessEnvironment(environment);
        }
        QEventLoop loop;
        QObject::connect(&flasher, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(30'000, &loop, &QEventLoop::quit);
        flasher.start(QStringLiteral(FLASHER_PROGRAM), arguments);
        loop.exec();
        if (flasher.state() != QProcess::NotRunning) {
            flasher.kill();
            flasher.waitForFinished();
            return output;
        }
        return {flasher.exitCode(), QString::fromUtf8(flasher.readAllStandardOutput()),
                QString::fromUtf8(flasher.readAllStandardError())};
    }
    QTextStream out(&output.out), err(&output.err);
    const shell::CommandLine commandLine =
        shell::CommandLine::parse(BatchMode::program(), QStringList{"iveva-flasher"} + arguments);
    shell::RunContext context = testContext();
    context.updateUrl = commandLine.value("update-url");
    ComPort port(context.link);
    output.status = BatchMode::Run(commandLine, context, port, out, err, true);
    return output;
}

} // namespace

class TestBatchMode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void commands_data()
    {
        QTest::addColumn<int>("gauge"); // 0: none
        QTest::addColumn<QList<int>>("silent");
        // "@fw", "@ee", "@dir", "@pty", "@link" and "@url" stand for the files sent, a folder,
        // the gauge's device, a link to it and the server.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // printed in this order, among others
        using L = QList<int>;
        const QString ok = "Erfolgreich geflasht!";
        const QString installed = "auf dem Gerät installierte Firmware Version: V2.16";
        // The port in each of its forms; past 256 blocks the block number wraps.
        for (const char *port : {"7", "COM7", "@pty", "@link"})
            QTest::addRow("firmware, --port %s", port)
                << 7 << L{2} << QStringList{"--firmware", "@fw", "--port", port} << 0
                << QStringList{"öffne COM-Port", "Blöcke gesamt:  258", ok};
        QTest::newRow("EEPROM on the first port at 38400")
            << 4 << L() << QStringList{"--eeprom", "@ee", "--speed", "38400"} << 0
            << QStringList{"Blöcke gesamt:  3", ok};
        QTest::newRow("missing file") << 4 << L() << QStringList{"--firmware", "@dir/gone.bin"} << 1
                                      << QStringList{"Datei: @dir/gone.bin existiert nicht"};
        // Exists but cannot be read: must not go out as an empty image that "succeeds".
        QTest::newRow("unreadable file")
            << 4 << L() << QStringList{"--firmware", "/proc/self/mem"} << 1
            << QStringList{"Datei: /proc/self/mem kann nicht gelesen werden"};
        QTest::newRow("search") << 6 << L{3} << QStringList{"--search"} << 0
                                << QStringList{"Gerät suchen...", "Port 3 Gerät nicht gefunden",
                                               "Port 6 Gerät gefunden!", installed};
        QTest::newRow("search without a gauge") << 0 << L{3} << QStringList{"--search"} << 1
                                                << QStringList{"Port 3 Gerät nicht gefunden"};
        // The "--info" rows run the program itself, which passes the status on.
        QTest::newRow("info") << 5 << L{2} << QStringList{"--info", "--port", "5"} << 0
                              << QStringList{installed};
        QTest::newRow("info without a gauge")
            << 0 << L{5} << QStringList{"--info"} << 1
            << QStringList{"Gerät nicht gefunden oder Firmware kleiner als V2.16"};
        QTest::newRow("update: versions only")
            << 5 << L() << QStringList{"--update", "--update-url", "@url"} << 3
            << QStringList{installed, "Verfügbare Firmwareversion: V2.20"};
        const QString sha =
            QCryptographicHash::hash("new firmware", QCryptographicHash::Sha256).toHex();
        QTest::newRow("update --yes, no copy, no checksum on the server: the download's printed")
            << 5 << L() << QStringList{"--update", "--yes", "--update-url", "@url"} << 0
            << QStringList{installed, "SHA-256: " + sha, "Hilfsdatei downloaden...", ok};
        QTest::newRow("update --yes --copy FOLDER")
            << 5 << L()
            << QStringList{"--update", "--yes", "--copy", "@dir", "--update-url", "@url"} << 0
            << QStringList{"Download erfolgreich!", ok};
    }

    void commands()
    {
        QFETCH(int, gauge);
        QFETCH(QList<int>, silent);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        SimulatedPorts ports;
        for (int com : silent)
            ports.add(com, GaugeOptions{.silent = true});
        GaugeSimulator *sim =
            gauge ? &ports.add(gauge, GaugeOptions{.resetDelay = 50ms, .split = true}) : nullptr;
        TestHttpServer server;
        // The proposed name is taken for a resource path unless it is cleaned.
        server.route("/DEVAZ/firmware.txt").body = "V2.20,/files/new.bin,:new.bin";
        server.route("/files/new.bin").body = "new firmware";
        server.route("/DEVAZ/lastfw.bin").body = "new firmware";
        QTemporaryDir dir;
        const QString pty = QFileInfo(ports.dir() + "/COM7").canonicalFilePath();
        const QString link = dir.filePath(QStringLiteral("usb-FTDI_FT232R-if00-port0"));
        QFile::link(pty, link);
        const QString fw = writeFile(dir, "fw.bin", 257 * 128 + 1),
                      ee = writeFile(dir, "ee.eep", 300);
        const auto resolve = [&](QString text) {
            return text.replace("@pty", pty)
                .replace("@link", link)
                .replace("@fw", fw)
                .replace("@ee", ee)
                .replace("@dir", dir.path())
                .replace("@url", server.baseUrl().toString());
        };
        for (QString &argument : arguments)
            argument = resolve(argument);

        const Output output = runBatch(arguments, arguments.first() == "--info");

        QCOMPARE(output.status, status);
        const QStringList printed = output.out.split('\n', Qt::SkipEmptyParts);
        qsizetype at = 0;
        for (const QString &line : lines)
            QVERIFY2((at = printed.indexOf(resolve(line), at)) >= 0, qPrintable(output.out));
        QCOMPARE(QFile::exists(dir.filePath("new.bin")), arguments.contains("--copy"));
        // A transfer's percentage is one line on stderr, redrawn below the log lines.
        const bool flashed = lines.contains("Erfolgreich geflasht!");
        QVERIFY(!output.out.contains('\r'));
        QCOMPARE(output.err.endsWith("100 %\n"), flashed);
        QCOMPARE(output.err.isEmpty(), !flashed);
        // Only "--eeprom" writes the EEPROM image: the file sent, padded.
        QCOMPARE(sim && sim->waitForImages(1, flashed ? 5s : 0s), flashed);
        QCOMPARE(sim ? sim->lastEepromImage().left(300) : QByteArray(),
                 arguments.contains(ee) ? filePattern(300) : QByteArray());
    }

    // Endings the window tests miss: an EEPROM file gone turns both upload buttons off; an
    // unreadable file stops before the transfer and leaves the buttons as they were.
    void buttonsAfterUpload()
    {
        QVERIFY(ButtonsAfterUpload(UploadKind::Eeprom, TransferOutcome::FileMissing) ==
                (UploadButtons{false, false, {}, {}, true}));
        QVERIFY(ButtonsAfterUpload(UploadKind::Eeprom, TransferOutcome::FileUnreadable) ==
                UploadButtons{});
    }

    // An address saved by one run is the server of the next.
    void savedServerIsUsed()
    {
        QTemporaryDir config;
        SimulatedPorts ports;
        ports.add(5);
        TestHttpServer server;
        server.route("/DEVAZ/firmware.txt").body = "V2.20,x,y";
        const QStringList save{"--save-update-url", server.baseUrl().toString()};
        QCOMPARE(runBatch(save, true, config.path()).status, 0);
        const Output update = runBatch({"--update", "--port", "5"}, true, config.path());
        QVERIFY2(update.out.contains("Verfügbare Firmwareversion: V2.20"), qPrintable(update.out));
        QCOMPARE(update.status, 3);
    }

    // A password never shows and stays in a file of the owner's; a settings file that cannot be
    // written or is no file ends in a reason, never in a hang or a false success.
    void savedSettings_data()
    {
        QTest::addColumn<QString>("setup"); // "secret saved", "config is a file", "fifo FOLDER"
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        const QString notSaved = "Update-Server nicht gespeichert: ";
        QTest::newRow("password: not printed, not logged, file 0600")
            << "" << QStringList{"--save-update-url", "user:geheim@127.0.0.1:81", "--log", "@log"}
            << 0 << "Update-Server gespeichert: http://user@127.0.0.1:81";
        QTest::newRow("0600 kept on a later write")
            << "secret saved" << QStringList{"--save-update-url", "127.0.0.1:82"} << 0
            << "Update-Server gespeichert: http://127.0.0.1:82";
        QTest::newRow("read-only settings place")
            << "config is a file" << QStringList{"--save-update-url", "a"} << 1 << notSaved;
        QTest::newRow("FIFO at the old place")
            << "fifo Unknown Organization" << QStringList{"--list-ports"} << 0 << "";
        QTest::newRow("FIFO at the new place")
            << "fifo ROZID" << QStringList{"--save-update-url", "a"} << 1 << notSaved;
    }

    void savedSettings()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString config = dir.filePath("config");
        if (setup == "config is a file")
            QVERIFY(QFile(config).open(QIODevice::WriteOnly)); // no folder can be made in it
        if (setup.startsWith("fifo ")) {
            const QString folder = config + "/" + setup.mid(5);
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(mkfifo(qPrintable(folder + "/iveva-flasher.conf"), 0644), 0);
        }
        if (setup == "secret saved")
            QCOMPARE(runBatch({"--save-update-url", "http://a:geheim@b"}, true, config).status, 0);
        arguments.replaceInStrings("@log", dir.filePath("log"));

        const Output output = runBatch(arguments, true, config);

        QTEST(output.status, "status");
        QFETCH(QString, line);
        QVERIFY2((output.out + output.err).contains(line), qPrintable(output.out + output.err));
        QFile log(dir.filePath("log"));
        QVERIFY(!(output.out + output.err).contains("geheim"));
        QVERIFY(!log.open(QIODevice::ReadOnly) || !log.readAll().contains("geheim"));
        struct stat settings = {};
        if (setup == "secret saved" || arguments.join(' ').contains("geheim")) {
            QCOMPARE(stat(qPrintable(config + "/ROZID/iveva-flasher.conf"), &settings), 0);
            QCOMPARE(settings.st_mode & 0777, 0600u);
        }
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        for (const char *line :
             {"--port 3", "--search --info", "--info --port 0", "--info --port tty0",
              "--info --speed 9600", "--info COM3", "--update --download-timeout 0",
              "--update --download-timeout 3601"})
            QTest::newRow(line) << QString(line).split(' ');
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Output output = runBatch(arguments, false);
        QCOMPARE(output.status, 2);
        QVERIFY(output.out.isEmpty());
        QVERIFY(output.err.startsWith("iveva-flasher: "));
    }

    // One line per existing port, the same device under two names busy under both; a link to
    // nothing is no port. Without ports: nothing listed, a note on stderr, still success.
    void listPorts()
    {
        SimulatedPorts ports;
        QCOMPARE(runBatch({"--list-ports"}, true).status, 0);
        const Output none = runBatch({"--list-ports"}, false);
        QCOMPARE(none.out, QString());
        QVERIFY(!none.err.isEmpty());

        ports.add(2);
        ports.add(4);
        const QString free = QFileInfo(ports.dir() + "/COM2").canonicalFilePath();
        const QString held = QFileInfo(ports.dir() + "/COM4").canonicalFilePath();
        QVERIFY(QFile::link(held, ports.dir() + "/COM5"));
        QVERIFY(QFile::link(ports.dir() + "/gone", ports.dir() + "/COM9"));
        ComPort holder(testContext().link);
        QVERIFY(holder.open(4, QStringLiteral("19200,n,8,1")));

        const Output listed = runBatch({"--list-ports"}, true);
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.out.split('\n', Qt::SkipEmptyParts),
                 QStringList({"COM2\tverfügbar\t" + free + "\t\t", "COM4\tbelegt\t" + held + "\t\t",
                              "COM5\tbelegt\t" + held + "\t\t"}));
    }
};

QTEST_GUILESS_MAIN(TestBatchMode)
#include "tst_batchmode.moc"
