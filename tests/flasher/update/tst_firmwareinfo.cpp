// The firmware information command against the simulator (or a scripted port) and a local
// update server: every way it can end.

#include "ScriptedPort.h"
#include "TestContext.h"
#include "TestHttpServer.h"
#include "devicelink/ComPort.h"
#include "devicelink/FlashImage.h"
#include "devicelink/LinkHints.h"
#include "flasher/update/FirmwareInfo.h"
#include "sim/GaugeSimulator.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QTest>

using namespace devicelink;
using namespace flasher;
using namespace sim;
using namespace std::chrono_literals;
using Outcome = FirmwareInfo::Outcome;

namespace {

constexpr int GaugeCom = 5;

struct Case
{
    QList<bool> answers; // Yes once they run out
    QString gaugeVersion = QStringLiteral("V2.16");
    QByteArray scriptedAnswer; // the gauge's answer on a scripted port instead of the simulator
    bool noReset = false;
    int com = GaugeCom;
    QByteArray versionFile = "V2.20,/files/v220.bin,v220.bin\r\n";
    int versionStatus = 200, helperStatus = 200; // HTTP status of the files
    bool closeDuringHelper = false; // the window is closed while the helper file downloads
    bool cancelCopy = false;
    bool staleHelper = false; // an earlier run left a helper file
    int helperBytes = 200;    // of the 200 bytes of the image

    Outcome outcome = Outcome::Failed;
    QStringList log; // in this order, the last one last; "L " listed, "S " through Add_Item
    int questions = 0;
    bool helperLeft = false;
};

// Answers the questions from a list and the save dialog with a fixed path.
struct ScriptedUi : FirmwareInfoUi
{
    QList<bool> answers;
    int asked = 0;
    QString copyTarget, preset;
    bool waiting = false;

    bool askYesNo(Question, const QString &, const QString &) override
    {
        return ++asked > answers.size() || answers[asked - 1];
    }
    QString chooseCopyTarget(const QString &presetName) override
    {
        preset = presetName;
        return copyTarget;
    }
    void setWaitCursor(bool on) override { waiting = on; }
    void programmingStarts() override {}
};

} // namespace

class TestFirmwareInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void endings_data()
    {
        QTest::addColumn<Case>("c");
        const QString installed = "S auf dem Gerät installierte Firmware Version: ";
        const QString available = "L Verfügbare Firmwareversion: ";
        const QString failed = "L Download fehlgeschlagen";
        const QString copied = "L Download erfolgreich!";
        const QString wait = "S auf Controllerreset warten...";
        const QString current = "L Es ist die aktuelle Firmware installiert!";
        const QString http404 = "L Grund: HTTP 404";
        auto row = [](const char *name, Case c) { QTest::newRow(name) << c; };
        const QByteArray sha =
            QCryptographicHash::hash(filePattern(200), QCryptographicHash::Sha256).toHex();

        row("programmed: checksum in capitals, proposed name reduced",
            {.versionFile = "V2.20,/files/v220.bin,:v220.bin," + sha.toUpper(),
             .outcome = Outcome::Programmed,
             .log = {installed + "V2.16", available + "V2.20", copied, "L Hilfsdatei downloaden...",
                     "S Erfolgreich geflasht!", "S und spielen Sie diese auf das Gerät!"},
             .questions = 3});
        row("No to the search", {.answers = {false},
                                 .outcome = Outcome::Declined,
                                 .log = {installed + "V2.16"},
                                 .questions = 1});
        row("not a checksum, then No to programming",
            {.answers = {true, true, false},
             .versionFile = "V2.20,/files/v220.bin,v220.bin,V2.16",
             .outcome = Outcome::Declined,
             .log = {copied, "L Prüfsumme in der Versionsdatei ist keine SHA-256 (64 Hexziffern) "
                             "und wird nicht geprüft"},
             .questions = 3,
             .helperLeft = true});
        row("save dialog cancelled", {.cancelCopy = true,
                                      .outcome = Outcome::Declined,
                                      .log = {available + "V2.20"},
                                      .questions = 2});
        row("server version not higher", {.versionFile = "V2.16,x,y",
                                          .outcome = Outcome::UpToDate,
                                          .log = {available + "V2.16", current},
                                          .questions = 1});
        row("two d in the answer, the second counts; No to the download",
            {.answers = {true, false},
             .gaugeVersion = "V2.30dV2.16",
             .outcome = Outcome::NewerAvailable,
             .log = {installed + "V2.30", installed + "V2.16", available + "V2.20"},
             .questions = 2});
        row("answer with e but no d",
            {.scriptedAnswer = "xe",
             .log = {wait, "L Keine Firmwareversion in der Antwort des Geräts"}});
        // Escape sequences from outside reach the log only as text.
        row("gauge version not a number, with an escape sequence",
            {.gaugeVersion = "V\x1b]0",
             .log = {installed + "V\\x1B]0e",
                     "L Firmwareversion des Geräts ist keine Versionsnummer: V\\x1B]0e"}});
        row("no port entry",
            {.com = FirmwareInfo::NoPort,
             .log = {"L Geräteinformation werden abrufen...",
                     "S Kein Comport gewählt: bitte einen verfügbaren Port auswählen"}});
        row("version file 404", {.versionStatus = 404,
                                 .log = {"L Update Fehler! Internetverbindung aktiv?", http404},
                                 .questions = 1});
        row("version file with two fields",
            {.versionFile = "V2.20\r\n/files/v220.bin\r\n",
             .log = {"L Versionsdatei des Servers ist unvollständig"},
             .questions = 1});
        row("server version not a number, with control characters",
            {.versionFile = "\"V2,\x9b\x1b[2J20\",x,y",
             .log = {available + "V2,\\x9B\\x1B[2J20",
                     "L Firmwareversion des Servers ist keine Versionsnummer: V2,\\x9B\\x1B[2J20"},
             .questions = 1});
        row("no address for the user's copy",
            {.versionFile = "V2.20,,v220.bin",
             .log = {"L DOWNLOAD STARTEN... BITTE WARTEN...", failed, "L Grund: keine Adresse"},
             .questions = 2});
        row("helper file fails, an earlier one removed", {.helperStatus = 404,
                                                          .staleHelper = true,
                                                          .log = {copied, failed, http404},
                                                          .questions = 2});
        // With the checksum the user's copy is the image too: a copy that differs is no copy.
        row("copy differs from the checksum",
            {.versionFile = "V2.20,/files/v220.bin,v220.bin," + QByteArray(64, 'A'),
             .log = {"L DOWNLOAD STARTEN... BITTE WARTEN...", failed,
                     "L Grund: Prüfsumme stimmt nicht"},
             .questions = 2});
        row("image cut short", {.versionFile = "V2.20,/files/v220.bin,v220.bin," + sha,
                                .helperBytes = 150,
                                .log = {copied, failed, "L Grund: Prüfsumme stimmt nicht"},
                                .questions = 2});
        row("window closed during the download",
            {.closeDuringHelper = true,
             .log = {copied, "S Vorgang abgebrochen, Comport geschlossen"},
             .questions = 2});
        row("transfer fails",
            {.noReset = true,
             .log = {wait, "S Reset nicht erkannt!", "S Hinweis: " + LinkHints::noReset()},
             .questions = 3,
             .helperLeft = true});
    }

    // Every run ends with the port closed, the wait cursor gone and "firmware.txt" deleted.
    void endings()
    {
        QFETCH(Case, c);
        QTemporaryDir dir, programFolder; // ports and the user's copy; the program's folder
        const QString copyPath = dir.filePath(QStringLiteral("mine.bin"));
        const QString stale = programFolder.filePath(FirmwareInfo::helperFileName());
        QVERIFY(!c.staleHelper || QFile(stale).open(QIODevice::WriteOnly));

        ScriptedUi ui;
        ui.answers = c.answers;
        ui.copyTarget = c.cancelCopy ? QString() : copyPath;
        QStringList log;
        bool closing = false;
        LinkHooks hooks;
        hooks.log = [&log](const QString &line, LinkHooks::LineStyle style) {
            log.append((style == LinkHooks::LineStyle::Listed ? "L " : "S ") + line);
        };
        hooks.cancelled = [&closing] { return closing; };

        ComPort comPort(devicelink::LinkSettings{dir.path(), 5});
        ScriptedPort scripted; // for the rows that script the gauge's answer
        scripted.onWrite = [&c](ScriptedPort &p, const QByteArray &) {
            p.answerAfter(10, c.scriptedAnswer);
        };
        SerialPort &port =
            c.scriptedAnswer.isEmpty() ? static_cast<SerialPort &>(comPort) : scripted;
        GaugeSimulator gauge(
            GaugeOptions{.version = c.gaugeVersion, .resetDelay = 100ms, .noReset = c.noReset});
        QVERIFY(gauge.start(dir.path(), GaugeCom));

        TestHttpServer server;
        server.route("/DEVAZ/firmware.txt") = {c.versionFile, c.versionStatus};
        server.route("/files/v220.bin").body = filePattern(200);
        server.route("/DEVAZ/lastfw.bin") = {filePattern(200).left(c.helperBytes), c.helperStatus,
                                             0, c.closeDuringHelper};
        server.onRequest = [&](const QString &path) {
            QVERIFY2(ui.waiting, qPrintable(path)); // the wait cursor shows during downloads
            closing = c.closeDuringHelper && path == "/DEVAZ/lastfw.bin";
        };
        UpdateClient client(server.baseUrl());

        const Outcome outcome =
            FirmwareInfo(port, client, ui, hooks).run(c.com, 19200, programFolder.path());

        QCOMPARE(outcome, c.outcome);
        qsizetype at = -1;
        for (const QString &line : c.log)
            QVERIFY2((at = log.indexOf(line, at + 1)) >= 0, qPrintable(line));
        QCOMPARE(log.last(), c.log.last());
        QCOMPARE(ui.asked, c.questions);
        QVERIFY(!port.isOpen());
        QVERIFY(!ui.waiting);
        QCOMPARE(QDir(programFolder.path()).entryList(QDir::Files),
                 c.helperLeft ? QStringList{FirmwareInfo::helperFileName()} : QStringList());
        // The copy is there exactly when its success is listed; the dialog proposed a clean name.
        QCOMPARE(QFile::exists(copyPath), log.contains("L Download erfolgreich!"));
        QVERIFY(QStringList({"", "v220.bin"}).contains(ui.preset));
        // Only a programmed run leaves an image in the gauge: the downloaded one.
        const bool programmed = c.outcome == Outcome::Programmed;
        QCOMPARE(gauge.waitForImages(1, programmed ? 5s : 0s), programmed);
        QCOMPARE(gauge.lastFirmwareImage(),
                 programmed ? FlashImage(filePattern(200)).bytes() : QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestFirmwareInfo)
#include "tst_firmwareinfo.moc"
