// The flasher's batch mode against simulated gauges and a local update server, in process and
// through the program.

#include "FlasherTestKit.h"
#include "TestContext.h"
#include "TestHttpServer.h"
#include "devicelink/ComPort.h"
#include "devicelink/LinkHints.h"
#include "flasher/BatchMode.h"
#include "flasher/UploadCommand.h"
#include "flasher/update/UpdateClient.h"

#include <QCryptographicHash>
#include <QNetworkProxy>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
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

// In process with the percentage on its own line and the log in batches, or through the
// program itself (in another port folder when `portDir` is given, with its settings below
// `config` when one is named). The test's server answers while the program runs.
Output runBatch(const QStringList &arguments, bool viaProgram, const QString &portDir = {},
                const QString &config = {})
{
    Output output;
    if (viaProgram) {
        QProcess flasher;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!portDir.isEmpty())
            environment.insert("IVEVA_PORT_DIR", portDir);
        if (!config.isEmpty()) {
            environment.insert("XDG_CONFIG_HOME", config);
            environment.remove(UpdateClient::EnvironmentVariable);
        }
        flasher.setProcessEnvironment(environment);
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
    output.status = runFlasherBatch(arguments, out, err, true, true);
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
        QTest::addColumn<QString>("hint");      // on stderr; empty: none
        using L = QList<int>;
        using namespace devicelink::LinkHints;
        const QString ok = "Erfolgreich geflasht!";
        const QString installed = "auf dem Gerät installierte Firmware Version: V2.16";
        // The port in each of its forms; past 256 blocks the block number wraps.
        for (const char *port : {"7", "COM7", "@pty", "@link"})
            QTest::addRow("firmware, --port %s", port)
                << 7 << L{2} << QStringList{"--firmware", "@fw", "--port", port} << 0
                << QStringList{"öffne COM-Port", "Blöcke gesamt:  258", ok} << QString();
        QTest::newRow("EEPROM on the first port at 38400")
            << 4 << L() << QStringList{"--eeprom", "@ee", "--speed", "38400"} << 0
            << QStringList{"Blöcke gesamt:  3", ok} << QString();
        QTest::newRow("missing file")
            << 4 << L() << QStringList{"--firmware", "@dir/gone.bin"} << 1
            << QStringList{"Datei: @dir/gone.bin existiert nicht"} << QString();
        // Would go out as one block of zeros: the gauge must not see even the entry character.
        QTest::newRow("empty file") << 4 << L() << QStringList{"--eeprom", "@dir/empty.eep"} << 1
                                    << QStringList{"Datei ist leer: @dir/empty.eep"} << QString();
        // Exists but cannot be read: must not go out as an empty image that "succeeds".
        QTest::newRow("unreadable file")
            << 4 << L() << QStringList{"--firmware", "@dir/mem.bin"} << 1
            << QStringList{"Datei: @dir/mem.bin kann nicht gelesen werden"} << QString();
        QTest::newRow("search") << 6 << L{3} << QStringList{"--search"} << 0
                                << QStringList{"Gerät suchen...", "Port 3 Gerät nicht gefunden",
                                               "Port 6 Gerät gefunden!", installed}
                                << QString();
        QTest::newRow("search without a gauge")
            << 0 << L{3} << QStringList{"--search"} << 1
            << QStringList{"Port 3 Gerät nicht gefunden"} << noAnswer(1);
        // The "--info" rows run the program itself, which passes the status on (traceOnStderr
        // has the gauge answer).
        QTest::newRow("info without a gauge")
            << 0 << L{5} << QStringList{"--info"} << 1
            << QStringList{"Gerät nicht gefunden oder Firmware kleiner als V2.16"} << QString();
        QTest::newRow("update: versions only")
            << 5 << L() << QStringList{"--update", "--update-url", "@url"} << 3
            << QStringList{installed, "Verfügbare Firmwareversion: V2.20"} << QString();
        const QString sha =
            QCryptographicHash::hash("new firmware", QCryptographicHash::Sha256).toHex();
        QTest::newRow("update --yes, no copy, no checksum on the server: the download's printed")
            << 5 << L() << QStringList{"--update", "--yes", "--update-url", "@url"} << 0
            << QStringList{installed, "SHA-256: " + sha, "Hilfsdatei downloaden...", ok}
            << QString();
        // Saving over a FIFO or a device would replace it: refused before the server is asked.
        QTest::newRow("update --yes --copy FIFO")
            << 5 << L()
            << QStringList{"--update", "--yes", "--copy", "@dir/fifo", "--update-url", "@url"} << 1
            << QStringList{"Kopie nach \"@dir/fifo\" nicht möglich: keine gewöhnliche Datei"}
            << QString();
        QTest::newRow("search over no port") << 0 << L() << QStringList{"--search"} << 1
                                             << QStringList{"Gerät suchen..."} << noPort();
        QTest::newRow("no reset") << 0 << L{3} << QStringList{"--firmware", "@fw", "--port", "3"}
                                  << 1 << QStringList{"Reset nicht erkannt!"} << noReset();
        // --quiet: one line; the log file still gets every block.
        QTest::newRow("quiet") << 7 << L()
                               << QStringList{"--quiet", "--firmware", "@fw", "--log", "@dir/l"}
                               << 0 << QStringList{ok} << QString();
    }

    void commands()
    {
        QFETCH(int, gauge);
        QFETCH(QList<int>, silent);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        QFETCH(QString, hint);
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
        writeFile(dir, "empty.eep", 0);
        QFile::link("/proc/self/mem", dir.filePath("mem.bin"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
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
        QCOMPARE(QFile::exists(dir.filePath("new.bin")), lines.contains("Download erfolgreich!"));
        QVERIFY(!QFileInfo(dir.filePath("fifo")).isFile());
        // A transfer's percentage is one line on stderr, redrawn below the log lines; a failure
        // repeats its last line there.
        const bool flashed = lines.contains("Erfolgreich geflasht!");
        const bool quiet = arguments.contains("--quiet");
        QVERIFY(flashed || !sim || sim->entryCharsReceived() == 0);
        QVERIFY(!output.out.contains('\r'));
        QCOMPARE(output.err.contains("\r100 %"), flashed && !quiet);
        // A search over no port has no failure line to repeat: the hint is all.
        const bool failureLine = status == 1 && hint != devicelink::LinkHints::noPort();
        QCOMPARE(output.err.isEmpty(), (!flashed && status != 1) || quiet);
        QCOMPARE(output.err.endsWith("iveva-flasher: " + printed.value(printed.size() - 1) + '\n'),
                 failureLine);
        QCOMPARE(output.err.contains("iveva-flasher: Hinweis: " + hint + '\n'), !hint.isEmpty());
        if (quiet) {
            QCOMPARE(printed, lines);
            QVERIFY(readBytes(dir.filePath("l")).contains("sende Blocknummer:  258"));
        }
        // Only "--eeprom" writes the EEPROM image: the file sent, padded.
        QCOMPARE(sim && sim->waitForImages(1, flashed ? 5s : 0s), flashed);
        QCOMPARE(sim ? sim->lastEepromImage().left(300) : QByteArray(),
                 arguments.contains(ee) ? filePattern(300) : QByteArray());
    }

    // Endings the window tests miss: an EEPROM file gone since its choice closes the port opened
    // for it and turns both upload buttons off; an unreadable file leaves them as they were.
    void fileGoneOrUnreadable()
    {
        ScriptedPort wire;
        const UploadRequest gone{UploadKind::Eeprom, 3, 19200, QStringLiteral("/nonexistent.eep")};
        QCOMPARE(RunUploadCommand(wire, gone, LinkHooks()), TransferResult::FileMissing);
        QCOMPARE(wire.openedPorts(), QList<int>{3});
        QVERIFY(!wire.isOpen());
        QVERIFY(StateAfterUpload(UploadKind::Eeprom, TransferResult::FileMissing) ==
                (UploadCommandState{false, false, {}, {}, true}));
        QVERIFY(StateAfterUpload(UploadKind::Eeprom, TransferResult::FileUnreadable) ==
                UploadCommandState{});
    }

    // An address saved by one run is the server of the next. A password never shows and stays in
    // a file of the owner's; a settings file that cannot be written or is no file ends in a
    // reason, never in a hang or a false success.
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
        QTest::newRow("saved server used")
            << "secret saved" << QStringList{"--update", "--port", "5"} << 3
            << "Verfügbare Firmwareversion: V2.20";
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
        SimulatedPorts ports;
        ports.add(5);
        TestHttpServer server;
        server.route("/DEVAZ/firmware.txt").body = "V2.20,x,y";
        const QString config = dir.filePath("config");
        if (setup == "config is a file")
            QVERIFY(QFile(config).open(QIODevice::WriteOnly)); // no folder can be made in it
        if (setup.startsWith("fifo ")) {
            const QString folder = config + "/" + setup.mid(5);
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(mkfifo(qPrintable(folder + "/iveva-flasher.conf"), 0644), 0);
        }
        QUrl secret = server.baseUrl();
        secret.setUserInfo("a:geheim");
        if (setup == "secret saved")
            QCOMPARE(runBatch({"--save-update-url", secret.toString()}, true, {}, config).status,
                     0);
        arguments.replaceInStrings("@log", dir.filePath("log"));

        const Output output = runBatch(arguments, true, {}, config);

        QTEST(output.status, "status");
        QFETCH(QString, line);
        QVERIFY2((output.out + output.err).contains(line), qPrintable(output.out + output.err));
        QVERIFY(!(output.out + output.err + readBytes(dir.filePath("log"))).contains("geheim"));
        struct stat settings = {};
        if (setup == "secret saved" || arguments.join(' ').contains("geheim")) {
            QCOMPARE(stat(qPrintable(config + "/ROZID/iveva-flasher.conf"), &settings), 0);
            QCOMPARE(settings.st_mode & 0777, 0600u);
        }
    }

    // --trace: the exchange's bytes on stderr, one line per write and per read that brought
    // bytes; the log on stdout as without it.
    void traceOnStderr()
    {
        SimulatedPorts ports;
        ports.add(5);
        const Output output = runBatch({"--info", "--port", "5", "--trace"}, true);
        QCOMPARE(output.status, 0);
        QVERIFY(output.out.contains("auf dem Gerät installierte Firmware Version: V2.16\n"));
        static const QRegularExpression line(
            "^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ([<>])((?: [0-9A-F]{2})+)$");
        QString sent, received;
        for (const QString &text : output.err.split('\n', Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = line.match(text);
            QVERIFY2(match.hasMatch(), qPrintable(text));
            (match.captured(1) == ">" ? sent : received) += match.captured(2);
        }
        QCOMPARE(sent, " 64");
        QCOMPARE(received, " 64 56 32 2E 31 36 65");
    }

    // A signal in the middle of an upload ends it as the window's close does: the gauge's
    // bootloader gets CAN, so the next upload finds it without a power cycle. That one runs under
    // a file size limit its log soon passes: the log stops with a word, the upload goes on.
    void interrupted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("after"); // the line the signal follows
        QTest::newRow("SIGINT") << SIGINT << "sende Blocknummer:  5";
        QTest::newRow("SIGTERM") << SIGTERM << "auf Controllerreset warten...";
        QTest::newRow("SIGHUP") << SIGHUP << "ACK";
    }

    void interrupted()
    {
        QFETCH(int, signal);
        QFETCH(QString, after);
        SimulatedPorts ports;
        GaugeSimulator &sim = ports.add(7, GaugeOptions{.baud = 19200});
        QTemporaryDir dir;
        QProcess flasher;
        flasher.start(FLASHER_PROGRAM,
                      {"--firmware", writeFile(dir, "fw.bin", 300 * 128 - 1), "--port", "7"});
        QString out;
        while (!out.contains(after + '\n') && flasher.waitForReadyRead(20'000))
            out += QString::fromUtf8(flasher.readAllStandardOutput());
        ::kill(pid_t(flasher.processId()), signal);
        QVERIFY(flasher.waitForFinished(10'000));

        QCOMPARE(flasher.exitCode(), 128 + signal);
        out += QString::fromUtf8(flasher.readAllStandardOutput());
        QVERIFY2(out.endsWith("Vorgang abgebrochen, Comport geschlossen\n"), qPrintable(out));
        QCOMPARE(flasher.readAllStandardError(),
                 QByteArray("iveva-flasher: unterbrochen (") + QTest::currentDataTag() + ")\n");

        const QString log = dir.filePath("log.txt");
        flasher.start("/bin/sh",
                      {"-c", "ulimit -f 1; exec \"$0\" \"$@\"", FLASHER_PROGRAM, "--firmware",
                       writeFile(dir, "next.bin", 20 * 128), "--port", "7", "--log", log});
        QVERIFY(flasher.waitForFinished(30'000));
        QCOMPARE(flasher.exitCode(), 0);
        QVERIFY(sim.waitForImages(1, 5s));
        const QByteArray err = flasher.readAllStandardError();
        QVERIFY2(err.startsWith("Logdatei \"" + log.toUtf8() + "\" nicht beschreibbar: ") &&
                     err.count('\n') == 1,
                 err.constData());
        QVERIFY(QFileInfo(log).size() <= 1024);
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
        const Output noFolder = runBatch({"--list-ports"}, true, ports.dir() + "/gone");
        QCOMPARE(noFolder.status, 0);
        QVERIFY(
            noFolder.err.startsWith("iveva-flasher: Hinweis: " +
                                    devicelink::LinkHints::missingPortDir(ports.dir() + "/gone")));

        ports.add(2);
        ports.add(4);
        const QString free = QFileInfo(ports.dir() + "/COM2").canonicalFilePath();
        const QString held = QFileInfo(ports.dir() + "/COM4").canonicalFilePath();
        QVERIFY(QFile::link(held, ports.dir() + "/COM5"));
        QVERIFY(QFile::link(ports.dir() + "/gone", ports.dir() + "/COM9"));
        // The system's own terminals are no ports either, and are never opened.
        QVERIFY(QFile::link("/dev/ptmx", ports.dir() + "/COM6"));
        QVERIFY(QFile::link("/dev/tty", ports.dir() + "/COM8"));
        ComPort holder(testContext().link);
        QVERIFY(holder.open(4, QStringLiteral("19200,n,8,1")));

        const Output listed = runBatch({"--list-ports"}, true);
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.out.split('\n', Qt::SkipEmptyParts),
                 QStringList({"COM2\tverfügbar\t" + free + "\t\t", "COM4\tbelegt\t" + held + "\t\t",
                              "COM5\tbelegt\t" + held + "\t\t"}));
        // The holder of a busy port, here this process (the system keeps 15 characters of a
        // name), is named; a path to nothing is missing, even where its lock file fails first.
        QVERIFY(runBatch({"--info", "--port", "5"}, false)
                    .out.contains(QStringLiteral("%1: belegt von %2 (PID %3)\n")
                                      .arg(held, QCoreApplication::applicationName().left(15))
                                      .arg(QCoreApplication::applicationPid())));
        const QString nowhere = "/tmp/" + QString(300, 'x') + "/ttyUSB0";
        QVERIFY(runBatch({"--info", "--port", nowhere}, false).out.contains(": nicht vorhanden"));
    }
};

QTEST_GUILESS_MAIN(TestBatchMode)
#include "tst_batchmode.moc"
