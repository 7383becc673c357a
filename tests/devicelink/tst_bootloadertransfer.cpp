#include "BlockFrame.h"
#include "BootloaderTransfer.h"
#include "ScriptedPort.h"

#include <QTest>

namespace {

const char Ack = 0x06;
const char Nak = 0x15;
const char Can = 0x18;
const char Eot = 0x04;

// Plays the gauge's bootloader on a scripted port: echoes the entry character once it has
// seen `echoAfter` of them, sends the handshake NAK, and answers each complete frame with the
// next entry of `frameAnswers` (ACK once they run out).
struct Bootloader
{
    int echoAfter = 3; // 0: never echo
    bool handshake = true;
    QList<QByteArray> frameAnswers;

    int entries = 0;
    bool inBlocks = false;
    int frameBytes = 0;
    QList<QByteArray> frames;

    void attach(ScriptedPort &port)
    {
        port.onWrite = [this](ScriptedPort &p, const QByteArray &bytes) { onWrite(p, bytes); };
    }

    void onWrite(ScriptedPort &port, const QByteArray &bytes)
    {
        if (!inBlocks) {
            if (++entries == echoAfter) {
                port.answerAfter(5, bytes);
                if (handshake)
                    port.answerAfter(20, QByteArray(1, Nak));
                inBlocks = true;
            }
            return;
        }
        if (frameBytes == 0) {
            if (bytes != QByteArray(1, 0x01))
                return; // EOT or CAN, not a frame
            frames.append(QByteArray());
        }
        frames.last().append(bytes);
        frameBytes += bytes.size();
        if (frameBytes < 132)
            return;
        frameBytes = 0;
        const QByteArray answer =
            frameAnswers.isEmpty() ? QByteArray(1, Ack) : frameAnswers.takeFirst();
        if (!answer.isEmpty())
            port.answerAfter(7, answer);
    }
};

struct Run
{
    QStringList log;
    QList<int> percents;
    int entryNotices = 0;
    LinkHooks hooks;

    Run()
    {
        hooks.log = [this](const QString &line, LinkHooks::LineStyle) { log.append(line); };
        hooks.percent = [this](int p) { percents.append(p); };
        hooks.entryAnswer = [this] { ++entryNotices; };
    }
};

FlashImage imageOf(const QByteArray &bytes)
{
    return FlashImage(bytes);
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + 11) & 0xFF);
    return bytes;
}

} // namespace

class TestBootloaderTransfer : public QObject
{
    Q_OBJECT

private slots:
    void oneBlockEepromExchange()
    {
        ScriptedPort port;
        QVERIFY(port.open(4, QStringLiteral("19200,n,8,1")));
        Bootloader gauge;
        gauge.attach(port);
        Run run;
        const QByteArray file = pattern(21);

        QVERIFY(UploadImage(port, imageOf(file), TransferVariant::eeprom(), run.hooks));

        QByteArray data = file + QByteArray(107, '\0');
        quint8 sum = 0;
        for (char c : data)
            sum += quint8(c);
        const QByteArray expected = QByteArray(3, 0x7C) + QByteArray("\x01\x01\xFE", 3) + data +
                                    QByteArray(1, char(sum)) + QByteArray(1, Eot);
        QCOMPARE(port.written(), expected);
        // The entry character goes out once per pass of 1,000 polls.
        QCOMPARE(port.writes()[1].atPoll - port.writes()[0].atPoll, 1000);
        QCOMPARE(port.writes()[2].atPoll - port.writes()[1].atPoll, 1000);
        // The 128 data bytes leave in one write, after SOH, number and complement.
        QCOMPARE(port.writes()[6].bytes, data);
        QCOMPARE(run.log, QStringList({"auf Controllerreset warten...", "Controllerreset empfangen",
                                       "Handshake abgeschlossen", "Blöcke gesamt:  1",
                                       "sende Blocknummer:  1", "ACK", "sende 'End of transmitted'",
                                       "Erfolgreich geflasht!"}));
        QCOMPARE(run.entryNotices, 1);
        QVERIFY(!port.isOpen());
    }

    void padding_data()
    {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<int>("blocks");
        QTest::newRow("empty file") << 0 << 1;
        QTest::newRow("200 bytes") << 200 << 2;
        QTest::newRow("256 bytes gets a block of zeros") << 256 << 3;
        QTest::newRow("one byte short of a block") << 127 << 1;
    }

    void padding()
    {
        QFETCH(int, fileSize);
        QFETCH(int, blocks);
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.attach(port);
        Run run;
        const QByteArray file = pattern(fileSize);

        QVERIFY(UploadImage(port, imageOf(file), TransferVariant::firmware(), run.hooks));

        QCOMPARE(gauge.frames.size(), blocks);
        QByteArray sent;
        for (const QByteArray &frame : gauge.frames)
            sent.append(frame.mid(3, 128));
        QCOMPARE(sent, file + QByteArray(blocks * 128 - fileSize, '\0'));
        QVERIFY(run.log.contains(QStringLiteral("Blöcke gesamt:  %1").arg(blocks)));
    }

    void blockNumbersWrap_data()
    {
        QTest::addColumn<int>("block");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("1") << 1 << QByteArray("\x01\x01\xFE", 3);
        QTest::newRow("255") << 255 << QByteArray("\x01\xFF\x00", 3);
        QTest::newRow("256") << 256 << QByteArray("\x01\x00\xFF", 3);
        QTest::newRow("257") << 257 << QByteArray("\x01\x01\xFE", 3);
    }

    void blockNumbersWrap()
    {
        QFETCH(int, block);
        QFETCH(QByteArray, header);
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.attach(port);
        Run run;
        const QByteArray file = pattern(257 * 128 - 1);

        QVERIFY(UploadImage(port, imageOf(file), TransferVariant::firmware(), run.hooks));

        QCOMPARE(gauge.frames.size(), 257);
        const QByteArray frame = gauge.frames[block - 1];
        QCOMPARE(frame.left(3), header);
        QCOMPARE(frame.mid(3, 128), (file + QByteArray(1, '\0')).mid((block - 1) * 128, 128));
        QVERIFY(run.log.contains(QStringLiteral("sende Blocknummer:  %1").arg(block)));
    }

    void checksum_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("checksum");
        QTest::newRow("128 x 0x00") << QByteArray(128, '\0') << 0x00;
        QTest::newRow("128 x 0xFF") << QByteArray(128, char(0xFF)) << 0x80;
        QByteArray ramp(128, '\0');
        for (int i = 0; i < 128; ++i)
            ramp[i] = char(i);
        QTest::newRow("0..127") << ramp << (127 * 128 / 2) % 256;
    }

    void checksum()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, checksum);
        const QByteArray frame = BuildBlockFrame(7, data);
        QCOMPARE(frame.size(), 132);
        QCOMPARE(quint8(frame[131]), quint8(checksum));
        // The checksum is the sum of the whole frame before it, modulo 256.
        int sum = 0;
        for (int i = 0; i < 131; ++i)
            sum += quint8(frame[i]);
        QCOMPARE(sum % 256, checksum);
    }

    void percentagesBeforeEachBlock()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.attach(port);
        Run run;
        QList<int> framesStartedAtPercent;
        run.hooks.percent = [&](int p) {
            run.percents.append(p);
            framesStartedAtPercent.append(int(gauge.frames.size()));
        };

        QVERIFY(UploadImage(port, imageOf(pattern(8 * 128 - 1)), TransferVariant::firmware(),
                            run.hooks));

        QCOMPARE(run.percents, QList<int>({12, 25, 38, 50, 62, 75, 88, 100}));
        // Each percentage is shown before its block's SOH goes out.
        QCOMPARE(framesStartedAtPercent, QList<int>({0, 1, 2, 3, 4, 5, 6, 7}));
    }

    void nakResendsTheSameFrame()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.frameAnswers = {QByteArray(1, Nak), QByteArray(1, Ack)};
        gauge.attach(port);
        Run run;

        QVERIFY(UploadImage(port, imageOf(pattern(21)), TransferVariant::eeprom(), run.hooks));

        QCOMPARE(gauge.frames.size(), 2);
        QCOMPARE(gauge.frames[0], gauge.frames[1]);
        QCOMPARE(run.log.mid(4, 4),
                 QStringList({"sende Blocknummer:  1", "NAK", "sende Blocknummer:  1", "ACK"}));
        QCOMPARE(run.percents, QList<int>({100, 100}));
    }

    void nakLimit_data()
    {
        QTest::addColumn<int>("naks");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("ten NAKs are tolerated") << 10 << true;
        QTest::newRow("the eleventh abandons") << 11 << false;
    }

    // NAKs spread over the blocks of a transfer: every second frame of the first blocks.
    void nakLimit()
    {
        QFETCH(int, naks);
        QFETCH(bool, succeeds);
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        for (int i = 0; i < naks; ++i)
            gauge.frameAnswers << QByteArray(1, Nak) << QByteArray(1, Ack);
        gauge.attach(port);
        Run run;

        const bool ok = UploadImage(port, imageOf(pattern(20 * 128 - 1)),
                                    TransferVariant::firmware(), run.hooks);

        QCOMPARE(ok, succeeds);
        QCOMPARE(run.log.count(QStringLiteral("NAK")), naks);
        QCOMPARE(port.written().endsWith(Can), !succeeds);
        QCOMPARE(run.log.last(), succeeds ? QStringLiteral("Erfolgreich geflasht!")
                                          : QStringLiteral("Retry error!"));
        QVERIFY(!port.isOpen());
    }

    void answersThatAreNotExactlyOneByte_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("ACK with another byte") << QByteArray("\x06x", 2);
        QTest::newRow("NAK with another byte") << QByteArray("\x15\x15", 2);
        QTest::newRow("no answer") << QByteArray();
    }

    void answersThatAreNotExactlyOneByte()
    {
        QFETCH(QByteArray, answer);
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.frameAnswers = {answer};
        gauge.attach(port);
        Run run;

        QVERIFY(!UploadImage(port, imageOf(pattern(10)), TransferVariant::firmware(), run.hooks));

        QCOMPARE(gauge.frames.size(), 1);
        QCOMPARE(port.written().right(1), QByteArray(1, Can));
        QCOMPARE(run.log.last(), QStringLiteral("Retry error!"));
        // CAN follows the frame after exactly the answer limit of polls.
        const QList<ScriptedPort::Write> &writes = port.writes();
        QCOMPARE(writes.last().atPoll - writes[writes.size() - 2].atPoll, 100'000);
        QVERIFY(!port.isOpen());
    }

    void noEchoSendsSixHundredEntryCharacters()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.echoAfter = 0;
        gauge.attach(port);
        Run run;

        QVERIFY(!UploadImage(port, imageOf(pattern(10)), TransferVariant::eeprom(), run.hooks));

        QCOMPARE(port.written(), QByteArray(600, 0x7C));
        QCOMPARE(run.log, QStringList({"auf Controllerreset warten...", "Reset nicht erkannt!"}));
        QCOMPARE(run.entryNotices, 0);
        QVERIFY(!port.isOpen());
    }

    void echoWithoutHandshakeEndsAtTheResetLine()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.handshake = false;
        gauge.attach(port);
        Run run;

        QVERIFY(!UploadImage(port, imageOf(pattern(10)), TransferVariant::eeprom(), run.hooks));

        QCOMPARE(run.log.last(), QStringLiteral("Controllerreset empfangen"));
        QCOMPARE(port.written(), QByteArray(3, 0x7C));
        QVERIFY(!port.isOpen());
    }

    void echoTogetherWithAnotherByteIsNoEcho()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        port.onWrite = [](ScriptedPort &p, const QByteArray &bytes) {
            p.answerAfter(3, bytes + "x");
        };
        Run run;

        QVERIFY(!UploadImage(port, imageOf(pattern(10)), TransferVariant::firmware(), run.hooks));
        QCOMPARE(port.written(), QByteArray(600, 0x7B));
    }

    void lostPortEndsAtOnce_data()
    {
        QTest::addColumn<int>("lostAfterFrames"); // -1: during the reset wait
        QTest::newRow("during the reset wait") << -1;
        QTest::newRow("after the first block") << 1;
    }

    void lostPortEndsAtOnce()
    {
        QFETCH(int, lostAfterFrames);
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.echoAfter = lostAfterFrames < 0 ? 0 : 2;
        gauge.attach(port);
        if (lostAfterFrames < 0)
            port.loseAfter(2500);
        else
            port.onWrite = [&](ScriptedPort &p, const QByteArray &bytes) {
                gauge.onWrite(p, bytes);
                if (gauge.frames.size() == lostAfterFrames + 1 && gauge.frameBytes == 1)
                    p.loseAfter(1);
            };
        Run run;

        QVERIFY(!UploadImage(port, imageOf(pattern(1000)), TransferVariant::firmware(), run.hooks));

        QCOMPARE(run.log.last(), QStringLiteral("Verbindung zum Comport verloren"));
        QVERIFY(!port.isOpen());
        QVERIFY(port.pollsDone() < 100'000); // it did not wait on a dead port
    }

    void imageBeyondTheBlockCounterIsRefused()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Run run;
        const FlashImage image(QByteArray(32767 * 128, '\0'));
        QCOMPARE(image.blockCount(), 32768);

        QVERIFY(!UploadImage(port, image, TransferVariant::firmware(), run.hooks));

        QVERIFY(port.written().isEmpty());
        QCOMPARE(run.log, QStringList({"Datei zu groß: 32768 Blöcke, höchstens 32767 möglich"}));
        QVERIFY(!port.isOpen());
    }

    void cancelDuringBlocksSendsCan()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        Bootloader gauge;
        gauge.frameAnswers = {QByteArray(1, Ack), QByteArray()};
        gauge.attach(port);
        Run run;
        run.hooks.cancelled = [&] { return gauge.frames.size() == 2; };

        QVERIFY(!UploadImage(port, imageOf(pattern(1000)), TransferVariant::firmware(), run.hooks));

        QCOMPARE(port.written().right(1), QByteArray(1, Can));
        QCOMPARE(run.log.last(), QStringLiteral("Vorgang abgebrochen, Comport geschlossen"));
        QVERIFY(!port.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestBootloaderTransfer)
#include "tst_bootloadertransfer.moc"
