#include "ComPort.h"
#include "FirmwareInfo.h"
#include "GaugeSimulator.h"
#include "ScriptedPort.h"
#include "TestHttpServer.h"
#include "UpdateBatch.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using Outcome = FirmwareInfo::Outcome;

namespace {

constexpr int GaugeCom = 5;

// Answers the questions from a list (Yes once it runs out) and the save dialog with a fixed path.
struct ScriptedUi : FirmwareInfoUi
{
    QList<bool> answers;
    QStringList titles;
    QString copyTarget;
    bool cancelCopy = false;
    QString preset;
    bool waiting = false;
    bool programming = false;

    bool askYesNo(Question, const QString &, const QString &title) override
    {
        titles.append(title);
        return titles.size() > answers.size() || answers[titles.size() - 1];
    }
    QString chooseCopyTarget(const QString &presetName) override
    {
        preset = presetName;
        return cancelCopy ? QString() : copyTarget;
    }
    void setWaitCursor(bool on) override { waiting = on; }
    void programmingStarts() override { programming = true; }
};

struct Case
{
    QList<bool> answers;
    QString gaugeVersion = QStringLiteral("V2.16");
    QByteArray scriptedAnswer; // instead of the simulator
    bool silent = false;
    bool noReset = false;
    int com = GaugeCom;
    int versionStatus = 200;
    QByteArray versionFile = "V2.20,%1/files/v220.bin,v220.bin\r\n";
    int copyStatus = 200;
    QString helperFault; // "404", "close window"
    bool cancelCopy = false;
    bool folderEndsInSeparator = false;

    Outcome outcome = Outcome::Failed;
    QStringList tail; // the last log lines, "L " listed, "S " through Add_Item
    int questions = 0;
    bool copySaved = false;
    bool helperLeft = false;
};

QByteArray firmware()
{
    QByteArray bytes(200, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 37 + 11) % 256);
    return bytes;
}

// One run of the command against the simulator (or a scripted port) and the local server.
struct Fixture
{
    QTemporaryDir dir;
    QString portDir = dir.filePath(QStringLiteral("ports"));
    QString programFolder = dir.filePath(QStringLiteral("program"));
    QString copyPath = dir.filePath(QStringLiteral("mine.bin"));
    TestHttpServer server;
    std::unique_ptr<GaugeSimulator> gauge;
    ComPort comPort;
    ScriptedPort scriptedPort;
    SerialPort *port = &comPort;
    ScriptedUi ui;
    QStringList log;
    bool closing = false;
    LinkHooks hooks;
    QByteArray Text1;

    explicit Fixture(const Case &c)
    {
        QDir().mkpath(programFolder);
        qputenv("IVEVA_PORT_DIR", QFile::encodeName(portDir));
        hooks.log = [this](const QString &line, LinkHooks::LineStyle style) {
            log.append((style == LinkHooks::LineStyle::Listed ? "L " : "S ") + line);
        };
        hooks.cancelled = [this] { return closing; };
        if (!c.scriptedAnswer.isEmpty()) {
            port = &scriptedPort;
            scriptedPort.onWrite = [c](ScriptedPort &p, const QByteArray &) {
                p.answerAfter(10, c.scriptedAnswer);
            };
        } else {
            GaugeOptions options;
            options.version = c.gaugeVersion;
            options.silent = c.silent;
            options.noReset = c.noReset;
            options.resetDelay = 100ms;
            gauge = std::make_unique<GaugeSimulator>(options);
            gauge->start(portDir, GaugeCom);
        }

        const QByteArray base = server.baseUrl().toString().toUtf8();
        server.route("/DEVAZ/firmware.txt") = {QByteArray(c.versionFile).replace("%1", base),
                                               c.versionStatus};
        server.route("/files/v220.bin") = {firmware(), c.copyStatus};
        TestHttpServer::Route &helper = server.route("/DEVAZ/lastfw.bin");
        helper.body = firmware();
        helper.status = c.helperFault == "404" ? 404 : 200;
        helper.hang = c.helperFault == "close window";
        server.onRequest = [this, c](const QString &path) {
            QVERIFY2(ui.waiting, qPrintable(path)); // the wait cursor shows during downloads
            if (c.helperFault == "close window" && path == "/DEVAZ/lastfw.bin")
                closing = true;
        };
        ui.answers = c.answers;
        ui.cancelCopy = c.cancelCopy;
        ui.copyTarget = copyPath;
    }

    Outcome run(const Case &c)
    {
        UpdateClient client(server.baseUrl());
        const QString folder = c.folderEndsInSeparator ? programFolder + "/" : programFolder;
        return FirmwareInfo(*port, client, ui, hooks).run(c.com, 19200, Text1, folder);
    }

    bool inProgramFolder(const QString &name) const
    {
        return QFile::exists(QDir(programFolder).filePath(name));
    }
};

} // namespace

class TestFirmwareInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void wholeFlowProgramsTheGauge_data()
    {
        QTest::addColumn<bool>("folderEndsInSeparator");
        QTest::newRow("program folder") << false;
        QTest::newRow("program folder ending in a separator") << true;
    }

    void wholeFlowProgramsTheGauge()
    {
        QFETCH(bool, folderEndsInSeparator);
        Case c;
        c.folderEndsInSeparator = folderEndsInSeparator;
        Fixture f(c);

        QCOMPARE(f.run(c), Outcome::Programmed);

        QCOMPARE(
            f.log,
            QStringList({"L Geräteinformation werden abrufen...", "S auf Controllerreset warten...",
                         "S auf dem Gerät installierte Firmware Version: V2.16",
                         "L Verfügbare Firmwareversion: V2.20",
                         "L DOWNLOAD STARTEN... BITTE WARTEN...", "L Download erfolgreich!",
                         "L Hilfsdatei downloaden...", "S auf Controllerreset warten...",
                         "S Controllerreset empfangen", "S Handshake abgeschlossen",
                         "S Blöcke gesamt:  2", "S sende Blocknummer:  1", "S ACK",
                         "S sende Blocknummer:  2", "S ACK", "S sende 'End of transmitted'",
                         "S Erfolgreich geflasht!",
                         "S Bitte erstellen Sie abschließend eine Konfigurationsdatei",
                         "S und spielen Sie diese auf das Gerät!"}));
        QCOMPARE(f.ui.titles,
                 QStringList({"flasher suchen?", "flasher runterladen?", "flasher einspielen?"}));
        QCOMPARE(f.ui.preset, QStringLiteral("v220.bin"));
        QVERIFY(f.ui.programming);
        QVERIFY(!f.ui.waiting);
        QVERIFY(f.gauge->waitForImages(1, 5s));
        QCOMPARE(f.gauge->lastFirmwareImage(), FlashImage(firmware()).bytes());
        QFile copy(f.copyPath);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), firmware());
        QCOMPARE(QDir(f.programFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(!f.comPort.isOpen());
        QVERIFY(f.Text1.contains("dV2.16e"));
    }

    void endings_data()
    {
        QTest::addColumn<Case>("c");
        const QString installed = "S auf dem Gerät installierte Firmware Version: ";
        const QString available = "L Verfügbare Firmwareversion: ";
        const QString current = "L Es ist die aktuelle Firmware installiert!";
        const QString failed = "L Download fehlgeschlagen";
        const QString copied = "L Download erfolgreich!";
        const QString start = "L Geräteinformation werden abrufen...";
        const QString wait = "S auf Controllerreset warten...";
        auto row = [](const char *name, Case c) { QTest::newRow(name) << c; };

        row("No to the search", {.answers = {false},
                                 .outcome = Outcome::Declined,
                                 .tail = {installed + "V2.16"},
                                 .questions = 1});
        row("No to the download", {.answers = {true, false},
                                   .outcome = Outcome::Declined,
                                   .tail = {available + "V2.20"},
                                   .questions = 2});
        row("No to programming", {.answers = {true, true, false},
                                  .outcome = Outcome::Declined,
                                  .tail = {copied},
                                  .questions = 3,
                                  .copySaved = true,
                                  .helperLeft = true});
        row("server version equal", {.versionFile = "V2.16,x,y",
                                     .outcome = Outcome::UpToDate,
                                     .tail = {available + "V2.16", current},
                                     .questions = 1});
        row("two d in the answer, the second counts",
            {.answers = {true, false},
             .gaugeVersion = "V2.30dV2.16",
             .outcome = Outcome::Declined,
             .tail = {installed + "V2.30", installed + "V2.16", available + "V2.20"},
             .questions = 2});
        row("no answer from the gauge", {.silent = true,
                                         .tail = {start, wait,
                                                  "S Gerät nicht gefunden oder Firmware kleiner "
                                                  "als V2.16"}});
        row("answer with e but no d", {.scriptedAnswer = "xe",
                                       .tail = {wait, "L Keine Firmwareversion in der Antwort des "
                                                      "Geräts"}});
        row("gauge version not a number",
            {.gaugeVersion = "Vx.yz",
             .tail = {installed + "Vx.yz",
                      "L Firmwareversion des Geräts ist keine Versionsnummer: Vx.yz"}});
        row("no port entry",
            {.com = FirmwareInfo::NoPort, .tail = {start, "S Kein Comport gewählt: bitte einen verfügbaren Port auswählen"}});
        row("port cannot be opened",
            {.com = 9, .tail = {start, "S Fehler beim öffnen des Comports"}});
        row("version file 404", {.versionStatus = 404,
                                 .tail = {"L Update Fehler! Internetverbindung aktiv?"},
                                 .questions = 1});
        row("version file with two fields",
            {.versionFile = "V2.20\r\n%1/files/v220.bin\r\n",
             .tail = {"L Versionsdatei des Servers ist unvollständig"},
             .questions = 1});
        row("server version not a number",
            {.versionFile = "\"V2,20\",x,y",
             .tail = {available + "V2,20",
                      "L Firmwareversion des Servers ist keine Versionsnummer: V2,20"},
             .questions = 1});
        row("save dialog cancelled", {.cancelCopy = true,
                                      .outcome = Outcome::Declined,
                                      .tail = {available + "V2.20"},
                                      .questions = 2});
        row("user's copy fails", {.copyStatus = 404,
                                  .tail = {"L DOWNLOAD STARTEN... BITTE WARTEN...", failed},
                                  .questions = 2});
        row("helper file fails",
            {.helperFault = "404", .tail = {copied, failed}, .questions = 2, .copySaved = true});
        row("window closed during the download",
            {.helperFault = "close window",
             .tail = {copied, "S Vorgang abgebrochen, Comport geschlossen"},
             .questions = 2,
             .copySaved = true});
        row("transfer fails", {.noReset = true,
                               .tail = {wait, "S Reset nicht erkannt!"},
                               .questions = 3,
                               .copySaved = true,
                               .helperLeft = true});
    }

    void endings()
    {
        QFETCH(Case, c);
        Fixture f(c);

        QCOMPARE(f.run(c), c.outcome);

        QCOMPARE(f.log.mid(f.log.size() - c.tail.size()), c.tail);
        QCOMPARE(f.ui.titles.size(), c.questions);
        QVERIFY(!f.port->isOpen());
        QVERIFY(!f.ui.waiting);
        QVERIFY(!f.inProgramFolder(FirmwareInfo::versionFileName()));
        QCOMPARE(f.inProgramFolder(FirmwareInfo::helperFileName()), c.helperLeft);
        QCOMPARE(QFile::exists(f.copyPath), c.copySaved);
        if (f.gauge)
            QCOMPARE(f.gauge->imagesStored(), 0);
    }

    void batchMode_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("images");
        QTest::newRow("versions only")
            << false << false << QByteArray("V2.20,%1/files/v220.bin,v220.bin") << 1
            << QStringList{"Ja", "Nein"} << 0;
        QTest::newRow("--yes, no copy")
            << true << false << QByteArray("V2.20,x,y") << 0 << QStringList{"Ja", "Ja", "Ja"} << 1;
        QTest::newRow("--yes --copy FOLDER")
            << true << true << QByteArray("V2.20,%1/files/v220.bin,v220.bin") << 0
            << QStringList{"Ja", "Ja", "Ja"} << 1;
    }

    void batchMode()
    {
        QFETCH(bool, yes);
        QFETCH(bool, copy);
        QFETCH(QByteArray, versionFile);
        QFETCH(int, exitStatus);
        QFETCH(QStringList, answers);
        QFETCH(int, images);
        Case c;
        c.versionFile = versionFile;
        Fixture f(c);
        f.server.onRequest = {};
        UpdateBatchOptions options;
        options.comNumber = GaugeCom;
        options.updateUrl = f.server.baseUrl().toString();
        options.yes = yes;
        options.copyPath = copy ? f.dir.path() : QString();
        options.downloadFolder = f.programFolder;
        QString output;
        QTextStream out(&output);

        QCOMPARE(UpdateBatch::run(options, f.comPort, f.hooks, out), exitStatus);

        QStringList given;
        for (const QString &line : output.split('\n', Qt::SkipEmptyParts))
            given.append(line.section(' ', -1));
        QCOMPARE(given, answers);
        QVERIFY(f.log.contains("S auf dem Gerät installierte Firmware Version: V2.16"));
        if (images > 0)
            QVERIFY(f.gauge->waitForImages(images, 5s));
        QCOMPARE(f.gauge->imagesStored(), images);
        QCOMPARE(QFile::exists(f.dir.filePath("v220.bin")), copy);
        QCOMPARE(f.server.requests().contains("/files/v220.bin"), copy);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareInfo)
#include "tst_firmwareinfo.moc"
