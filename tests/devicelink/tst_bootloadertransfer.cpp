#include "ScriptedPort.h"
#include "TestContext.h"
#include "devicelink/BlockFrame.h"
#include "devicelink/BootloaderTransfer.h"
#include "devicelink/LinkHints.h"

#include <QTest>

#include <functional>

using namespace devicelink;
using namespace protocol;

namespace {

// One transfer on a scripted port with the bootloader above.
struct Fixture
{
    ScriptedPort port;
    BootloaderScript gauge{.echoAfter = 3};
    QStringList log;
    QList<std::pair<int, int>> percents; // each percentage, with the frames sent before it
    LinkHooks hooks;
    QByteArray file;

    Fixture()
    {
        port.open(1, QStringLiteral("19200,n,8,1"));
        port.onWrite = [this](ScriptedPort &p, const QByteArray &b) { gauge.onWrite(p, b); };
        hooks.log = [this](const QString &line, LinkHooks::LineStyle) { log.append(line); };
        hooks.percent = [this](int p) { percents.append({p, int(gauge.frames.size())}); };
    }

    TransferOutcome upload(const QByteArray &file,
                           const TransferVariant &variant = TransferVariant::firmware())
    {
        return UploadImage(port, FlashImage(file), variant, hooks);
    }
};

// Sets a fault up before the upload; checks what only that fault leaves behind.
using Step = std::function<void(Fixture &)>;

} // namespace

Q_DECLARE_METATYPE(Step)

class TestBootloaderTransfer : public QObject
{
    Q_OBJECT

private slots:
    void oneBlockEepromExchange()
    {
        Fixture f;
        const QByteArray file = filePattern(21);

        QCOMPARE(f.upload(file, TransferVariant::eeprom()), TransferResult::Sent);

        const QByteArray data = file + QByteArray(107, '\0');
        quint8 sum = 0;
        for (char c : data)
            sum += quint8(c);
        QCOMPARE(f.port.written(), QByteArray(3, EntryEeprom) + QByteArray("\x01\x01\xFE", 3) +
                                       data + QByteArray(1, char(sum)) + QByteArray(1, Eot));
        // The entry character goes out once per pass of 1,000 polls; the data in one write.
        QCOMPARE(f.port.writes()[1].atPoll - f.port.writes()[0].atPoll, 1000);
        QCOMPARE(f.port.writes()[2].atPoll - f.port.writes()[1].atPoll, 1000);
        QCOMPARE(f.port.writes()[3].bytes.mid(3, 128), data);
        QCOMPARE(f.log, QStringList({"auf Controllerreset warten...", "Controllerreset empfangen",
                                     "Handshake abgeschlossen", "Blöcke gesamt:  1",
                                     "sende Blocknummer:  1", "ACK", "sende 'End of transmitted'",
                                     "Erfolgreich geflasht!"}));
        QVERIFY(!f.port.isOpen());
    }

    void blocksOnTheWire_data()
    {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("block");
        QTest::addColumn<QByteArray>("header");
        const int wrapping = 257 * 128 - 1;
        QTest::newRow("256 bytes get a block of zeros")
            << 256 << 3 << 3 << QByteArray("\x01\x03\xFC", 3);
        QTest::newRow("block 256") << wrapping << 257 << 256 << QByteArray("\x01\x00\xFF", 3);
        QTest::newRow("block 257") << wrapping << 257 << 257 << QByteArray("\x01\x01\xFE", 3);
    }

    void blocksOnTheWire()
    {
        QFETCH(int, fileSize);
        QFETCH(int, blocks);
        QFETCH(int, block);
        QFETCH(QByteArray, header);
        Fixture f;
        const QByteArray file = filePattern(fileSize);

        QCOMPARE(f.upload(file), TransferResult::Sent);

        QCOMPARE(f.gauge.frames.size(), blocks);
        QByteArray sent;
        for (const QByteArray &frame : f.gauge.frames)
            sent.append(frame.mid(3, 128));
        QCOMPARE(sent, file + QByteArray(blocks * 128 - fileSize, '\0'));
        QCOMPARE(f.gauge.frames[block - 1].left(3), header);
        QVERIFY(f.log.contains(QStringLiteral("sende Blocknummer:  %1").arg(block)));
    }

    // Each block's percentage shows before its SOH goes out, again when a NAK has it resent.
    void percentagesAndResends()
    {
        Fixture f;
        f.gauge.frameAnswers = {QByteArray(1, Nak), QByteArray(1, Ack)};

        QCOMPARE(f.upload(filePattern(8 * 128 - 1)), TransferResult::Sent);

        QCOMPARE(f.gauge.frames.size(), 9);
        QCOMPARE(f.gauge.frames[0], f.gauge.frames[1]);
        QCOMPARE(f.log.mid(4, 4),
                 QStringList({"sende Blocknummer:  1", "NAK", "sende Blocknummer:  1", "ACK"}));
        QCOMPARE(
            f.percents,
            (QList<std::pair<int, int>>{
                {12, 0}, {12, 1}, {25, 2}, {38, 3}, {50, 4}, {62, 5}, {75, 6}, {88, 7}, {100, 8}}));
    }

    void endings_data()
    {
        QTest::addColumn<Step>("setup");
        QTest::addColumn<TransferOutcome>("outcome");
        QTest::addColumn<QStringList>("lastLines");
        QTest::addColumn<bool>("endsWithCan");
        QTest::addColumn<Step>("check");
        const auto row = [](const char *name, Step setup, TransferOutcome outcome,
                            const QByteArray &lastLines, bool can, Step check = {}) {
            QTest::newRow(name) << setup << outcome
                                << QString::fromUtf8(lastLines).split(QLatin1Char('\n')) << can
                                << (check ? check : [](Fixture &) {});
        };
        // The reset wait sends the entry character 600 times, then gives up.
        const Step sixHundredEntries = [](Fixture &f) {
            QCOMPARE(f.port.written(), QByteArray(600, EntryFirmware));
        };
        const char *retry = "Retry error!", *lost = "Verbindung zum Comport verloren";
        const Step noEcho = [](Fixture &f) { f.gauge.echoAfter = 0; };
        const Step echoExtra = [](Fixture &f) { f.gauge.echoExtra = "x"; };
        const Step noHandshake = [](Fixture &f) { f.gauge.handshake = false; };
        const Step ackExtra = [](Fixture &f) { f.gauge.frameAnswers = {QByteArray(1, Ack) + 'x'}; };
        const Step silent = [](Fixture &f) { f.gauge.frameAnswers = {QByteArray()}; };
        // CAN follows the frame after exactly the answer limit.
        const Step answerLimit = [](Fixture &f) {
            const QList<ScriptedPort::Write> writes = f.port.writes();
            QCOMPARE(writes.last().atPoll - writes[writes.size() - 2].atPoll, 100'000);
        };
        const auto naks = [](int count) {
            return [count](Fixture &f) {
                for (int i = 0; i < count; ++i)
                    f.gauge.frameAnswers << QByteArray(1, Nak) << QByteArray(1, Ack);
            };
        };
        const Step lostInWait = [](Fixture &f) {
            f.gauge.echoAfter = 0;
            f.port.loseAfter(2500);
        };
        const Step lostInBlocks = [](Fixture &f) { f.port.loseAfter(2040); };
        const Step noWaitOnDeadPort = [](Fixture &f) { QVERIFY(f.port.pollsDone() < 100'000); };
        const Step someBlocksSent = [](Fixture &f) {
            QVERIFY(f.gauge.frames.size() > 1 && f.port.pollsDone() < 100'000);
        };
        // From its echo on, the bootloader waits for blocks until CAN releases it.
        const Step closedInHandshake = [](Fixture &f) {
            f.gauge.handshake = false;
            f.hooks.entryAnswer = [&f] { f.hooks.cancelled = [] { return true; }; };
        };
        const Step tooLarge = [](Fixture &f) { f.file = QByteArray(32767 * 128, '\0'); };
        const Step nothingSent = [](Fixture &f) { QVERIFY(f.port.writes().isEmpty()); };
        // After the failure line a hint says what to check; without a handshake it is all.
        const QByteArray noReset =
            "Reset nicht erkannt!\nHinweis: " + LinkHints::noReset().toUtf8();
        row("no echo", noEcho, LinkFailure::NoReset, noReset, false, sixHundredEntries);
        row("echo with another byte", echoExtra, LinkFailure::NoReset, noReset, false,
            sixHundredEntries);
        row("echo without handshake", noHandshake, LinkFailure::NoHandshake,
            "Controllerreset empfangen\nHinweis: " + LinkHints::noHandshake().toUtf8(), false);
        row("ACK with another byte", ackExtra, LinkFailure::Abandoned, retry, true);
        row("no answer", silent, LinkFailure::Abandoned, retry, true, answerLimit);
        row("ten NAKs over several blocks", naks(10), TransferResult::Sent, "Erfolgreich geflasht!",
            false);
        row("the eleventh NAK", naks(11), LinkFailure::Abandoned, retry, true);
        row("port lost in the reset wait", lostInWait, LinkFailure::PortLost, lost, false,
            noWaitOnDeadPort);
        row("port lost during the blocks", lostInBlocks, LinkFailure::PortLost, lost, false,
            someBlocksSent);
        row("window closed in the handshake wait", closedInHandshake, LinkFailure::Cancelled,
            "Vorgang abgebrochen, Comport geschlossen", true);
        row("more blocks than the counter takes", tooLarge, TransferResult::FileTooLarge,
            "Datei zu groß: 32768 Blöcke, höchstens 32767 möglich", false, nothingSent);
    }

    void endings()
    {
        QFETCH(Step, setup);
        QFETCH(Step, check);
        Fixture f;
        f.file = filePattern(20 * 128);
        setup(f);

        QTEST(f.upload(f.file), "outcome");

        QFETCH(QStringList, lastLines);
        QCOMPARE(f.log.mid(f.log.size() - lastLines.size()), lastLines);
        QTEST(f.port.written().endsWith(Can), "endsWithCan");
        QVERIFY(!f.port.isOpen());
        check(f);
    }
};

QTEST_GUILESS_MAIN(TestBootloaderTransfer)
#include "tst_bootloadertransfer.moc"
