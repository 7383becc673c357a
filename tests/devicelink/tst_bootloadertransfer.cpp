#include "ScriptedPort.h"
#include "devicelink/BlockFrame.h"
#include "devicelink/BootloaderTransfer.h"

#include <QTest>

using namespace devicelink;

using namespace protocol;

namespace {

// Plays the gauge's bootloader on a scripted port: echoes the entry character once it has
// seen `echoAfter` of them, sends the handshake NAK, and answers each complete frame with the
// next entry of `frameAnswers` (ACK once they run out; an empty entry is no answer).
struct Bootloader
{
    int echoAfter = 3; // 0: never echo
    QByteArray echoExtra;
    bool handshake = true;
    QList<QByteArray> frameAnswers;

    int entries = 0;
    bool inBlocks = false;
    int frameBytes = 0;
    QList<QByteArray> frames;

    void onWrite(ScriptedPort &port, const QByteArray &bytes)
    {
        if (!inBlocks) {
            if (++entries == echoAfter) {
                port.answerAfter(5, bytes + echoExtra);
                if (handshake)
                    port.answerAfter(20, QByteArray(1, Nak));
                inBlocks = true;
            }
            return;
        }
        if (frameBytes == 0) {
            if (!bytes.startsWith(Soh))
                return; // EOT or CAN, not a frame
            frames.append(QByteArray());
        }
        frames.last().append(bytes);
        frameBytes += int(bytes.size());
        if (frameBytes < 132)
            return;
        frameBytes = 0;
        const QByteArray answer =
            frameAnswers.isEmpty() ? QByteArray(1, Ack) : frameAnswers.takeFirst();
        if (!answer.isEmpty())
            port.answerAfter(7, answer);
    }
};

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + 11) & 0xFF);
    return bytes;
}

// One transfer on a scripted port with the bootloader above.
struct Fixture
{
    ScriptedPort port;
    Bootloader gauge;
    QStringList log;
    QList<int> percents;
    QList<int> framesStartedAtPercent;
    int entryNotices = 0;
    LinkHooks hooks;

    Fixture()
    {
        port.open(1, QStringLiteral("19200,n,8,1"));
        port.onWrite = [this](ScriptedPort &p, const QByteArray &bytes) {
            gauge.onWrite(p, bytes);
        };
        hooks.log = [this](const QString &line, LinkHooks::LineStyle) { log.append(line); };
        hooks.percent = [this](int p) {
            percents.append(p);
            framesStartedAtPercent.append(int(gauge.frames.size()));
        };
        hooks.entryAnswer = [this] { ++entryNotices; };
    }

    TransferOutcome upload(const QByteArray &file,
                           const TransferVariant &variant = TransferVariant::firmware())
    {
        return UploadImage(port, FlashImage(file), variant, hooks);
    }
};

enum class Fault
{
    NoEcho,
    EchoWithAnotherByte,
    NoHandshake,
    AckWithAnotherByte,
    NakWithAnotherByte,
    NoAnswer,
    TenNaks,
    ElevenNaks,
    LostInResetWait,
    LostAfterFirstBlock,
    CancelDuringBlocks,
    TooManyBlocks
};

} // namespace

class TestBootloaderTransfer : public QObject
{
    Q_OBJECT

private slots:
    void oneBlockEepromExchange()
    {
        Fixture f;
        const QByteArray file = pattern(21);

        QCOMPARE(f.upload(file, TransferVariant::eeprom()), TransferOutcome::Ok);

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
        QCOMPARE(f.entryNotices, 1);
        QVERIFY(!f.port.isOpen());
    }

    void blocksOnTheWire_data()
    {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("block");
        QTest::addColumn<QByteArray>("header");
        const int wrapping = 257 * 128 - 1;
        QTest::newRow("empty file") << 0 << 1 << 1 << QByteArray("\x01\x01\xFE", 3);
        QTest::newRow("200 bytes") << 200 << 2 << 2 << QByteArray("\x01\x02\xFD", 3);
        QTest::newRow("256 bytes get a block of zeros")
            << 256 << 3 << 3 << QByteArray("\x01\x03\xFC", 3);
        QTest::newRow("block 255") << wrapping << 257 << 255 << QByteArray("\x01\xFF\x00", 3);
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
        const QByteArray file = pattern(fileSize);

        QCOMPARE(f.upload(file), TransferOutcome::Ok);

        QCOMPARE(f.gauge.frames.size(), blocks);
        QByteArray sent;
        for (const QByteArray &frame : f.gauge.frames)
            sent.append(frame.mid(3, 128));
        QCOMPARE(sent, file + QByteArray(blocks * 128 - fileSize, '\0'));
        QCOMPARE(f.gauge.frames[block - 1].left(3), header);
        QVERIFY(f.log.contains(QStringLiteral("Blöcke gesamt:  %1").arg(blocks)));
        QVERIFY(f.log.contains(QStringLiteral("sende Blocknummer:  %1").arg(block)));
    }

    void checksum_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("checksum");
        QTest::newRow("128 x 0x00") << QByteArray(128, '\0') << 0x00;
        QTest::newRow("128 x 0xFF") << QByteArray(128, char(0xFF)) << 0x80;
    }

    void checksum()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, checksum);
        const QByteArray frame = BuildBlockFrame(7, data);
        QCOMPARE(frame.size(), 132);
        QCOMPARE(quint8(frame[131]), quint8(checksum));
    }

    void percentagesBeforeEachBlock()
    {
        Fixture f;
        QCOMPARE(f.upload(pattern(8 * 128 - 1)), TransferOutcome::Ok);
        QCOMPARE(f.percents, QList<int>({12, 25, 38, 50, 62, 75, 88, 100}));
        // Each percentage is shown before its block's SOH goes out.
        QCOMPARE(f.framesStartedAtPercent, QList<int>({0, 1, 2, 3, 4, 5, 6, 7}));
    }

    void nakResendsTheSameFrame()
    {
        Fixture f;
        f.gauge.frameAnswers = {QByteArray(1, Nak), QByteArray(1, Ack)};

        QCOMPARE(f.upload(pattern(21), TransferVariant::eeprom()), TransferOutcome::Ok);

        QCOMPARE(f.gauge.frames.size(), 2);
        QCOMPARE(f.gauge.frames[0], f.gauge.frames[1]);
        QCOMPARE(f.log.mid(4, 4),
                 QStringList({"sende Blocknummer:  1", "NAK", "sende Blocknummer:  1", "ACK"}));
        QCOMPARE(f.percents, QList<int>({100, 100}));
    }

    void endings_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<TransferOutcome>("outcome");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<bool>("endsWithCan");
        QTest::newRow("no echo") << Fault::NoEcho << TransferOutcome::NoReset
                                 << "Reset nicht erkannt!" << false;
        QTest::newRow("echo with another byte")
            << Fault::EchoWithAnotherByte << TransferOutcome::NoReset << "Reset nicht erkannt!"
            << false;
        QTest::newRow("echo without handshake")
            << Fault::NoHandshake << TransferOutcome::NoHandshake << "Controllerreset empfangen"
            << false;
        QTest::newRow("ACK with another byte")
            << Fault::AckWithAnotherByte << TransferOutcome::Abandoned << "Retry error!" << true;
        QTest::newRow("NAK with another byte")
            << Fault::NakWithAnotherByte << TransferOutcome::Abandoned << "Retry error!" << true;
        QTest::newRow("no answer")
            << Fault::NoAnswer << TransferOutcome::Abandoned << "Retry error!" << true;
        QTest::newRow("ten NAKs over several blocks")
            << Fault::TenNaks << TransferOutcome::Ok << "Erfolgreich geflasht!" << false;
        QTest::newRow("the eleventh NAK")
            << Fault::ElevenNaks << TransferOutcome::Abandoned << "Retry error!" << true;
        QTest::newRow("port lost in the reset wait")
            << Fault::LostInResetWait << TransferOutcome::PortLost
            << "Verbindung zum Comport verloren" << false;
        QTest::newRow("port lost after a block")
            << Fault::LostAfterFirstBlock << TransferOutcome::PortLost
            << "Verbindung zum Comport verloren" << false;
        QTest::newRow("window closed during the blocks")
            << Fault::CancelDuringBlocks << TransferOutcome::Cancelled
            << "Vorgang abgebrochen, Comport geschlossen" << true;
        QTest::newRow("more blocks than the counter takes")
            << Fault::TooManyBlocks << TransferOutcome::FileTooLarge
            << "Datei zu groß: 32768 Blöcke, höchstens 32767 möglich" << false;
    }

    void endings()
    {
        QFETCH(Fault, fault);
        QFETCH(TransferOutcome, outcome);
        QFETCH(QString, lastLine);
        QFETCH(bool, endsWithCan);
        Fixture f;
        QByteArray file = pattern(20 * 128);
        switch (fault) {
        case Fault::NoEcho:
            f.gauge.echoAfter = 0;
            break;
        case Fault::EchoWithAnotherByte:
            f.gauge.echoExtra = "x";
            break;
        case Fault::NoHandshake:
            f.gauge.handshake = false;
            break;
        case Fault::AckWithAnotherByte:
            f.gauge.frameAnswers = {QByteArray(1, Ack) + 'x'};
            break;
        case Fault::NakWithAnotherByte:
            f.gauge.frameAnswers = {QByteArray(2, Nak)};
            break;
        case Fault::NoAnswer:
            f.gauge.frameAnswers = {QByteArray()};
            break;
        case Fault::TenNaks:
        case Fault::ElevenNaks:
            for (int i = fault == Fault::TenNaks ? 10 : 11; i > 0; --i)
                f.gauge.frameAnswers << QByteArray(1, Nak) << QByteArray(1, Ack);
            break;
        case Fault::LostInResetWait:
            f.gauge.echoAfter = 0;
            f.port.loseAfter(2500);
            break;
        case Fault::LostAfterFirstBlock:
            f.port.onWrite = [&](ScriptedPort &p, const QByteArray &bytes) {
                f.gauge.onWrite(p, bytes);
                if (f.gauge.frames.size() == 2)
                    p.loseAfter(1);
            };
            break;
        case Fault::CancelDuringBlocks:
            f.hooks.cancelled = [&] { return f.gauge.frames.size() == 2; };
            break;
        case Fault::TooManyBlocks:
            file = QByteArray(32767 * 128, '\0');
            break;
        }

        QCOMPARE(f.upload(file), outcome);

        QCOMPARE(f.log.last(), lastLine);
        QCOMPARE(f.port.written().endsWith(Can), endsWithCan);
        QVERIFY(!f.port.isOpen());
        const QList<ScriptedPort::Write> &writes = f.port.writes();
        if (fault == Fault::NoEcho || fault == Fault::EchoWithAnotherByte)
            QCOMPARE(f.port.written(), QByteArray(600, EntryFirmware));
        if (fault == Fault::NoAnswer) // CAN follows the frame after exactly the answer limit
            QCOMPARE(writes.last().atPoll - writes[writes.size() - 2].atPoll, 100'000);
        if (fault == Fault::LostInResetWait || fault == Fault::LostAfterFirstBlock)
            QVERIFY(f.port.pollsDone() < 100'000); // no wait on a dead port
        if (fault == Fault::TooManyBlocks)
            QVERIFY(writes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBootloaderTransfer)
#include "tst_bootloadertransfer.moc"
