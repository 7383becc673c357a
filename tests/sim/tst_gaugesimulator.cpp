// Drives the simulator through its published pty with plain POSIX calls, as the PC would.

#include "GaugeSimulator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr char Soh = 0x01, Eot = 0x04, Ack = 0x06, Nak = 0x15, Can = 0x18;

// The PC end of the line.
class PcPort
{
public:
    explicit PcPort(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PcPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void send(const QByteArray &bytes)
    {
        QCOMPARE(::write(m_fd, bytes.data(), bytes.size()), bytes.size());
    }

    // One read's worth, or empty when nothing came within the timeout. Sets lineLost on
    // EOF or a read error.
    QByteArray readOnce(std::chrono::milliseconds timeout)
    {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, int(timeout.count())) <= 0)
            return {};
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0 && !(n < 0 && errno == EAGAIN))
            lineLost = true;
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }

    // Every read until the line stays quiet for `quiet`.
    QList<QByteArray> readUntilQuiet(std::chrono::milliseconds quiet = 200ms)
    {
        QList<QByteArray> reads;
        for (QByteArray r; !lineLost && !(r = readOnce(quiet)).isEmpty();)
            reads.append(r);
        return reads;
    }

    // Repeats the entry character every 50 ms, like the PC's reset wait, until the first answer.
    QByteArray enterBootloader(char entry, int attempts = 60)
    {
        for (int i = 0; i < attempts; ++i) {
            send(QByteArray(1, entry));
            ++entriesSent;
            if (QByteArray r = readOnce(50ms); !r.isEmpty())
                return r;
        }
        return {};
    }

    bool lineLost = false;
    int entriesSent = 0;

private:
    int m_fd = -1;
};

QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), qsizetype(list.size()));
}

QByteArray frame(int block, const QByteArray &data)
{
    QByteArray f;
    f.append(Soh).append(char(block & 0xFF)).append(char(255 - (block & 0xFF))).append(data);
    quint8 sum = 0;
    for (char c : data)
        sum += quint8(c);
    return f.append(char(sum));
}

QByteArray blockData(int block)
{
    QByteArray data(128, 0);
    for (int i = 0; i < 128; ++i)
        data[i] = char(block * 7 + i);
    return data;
}

GaugeOptions fastOptions(const QTemporaryDir &dir)
{
    GaugeOptions o;
    o.resetDelay = 100ms;
    o.firmwarePath = dir.filePath(QStringLiteral("firmware.bin"));
    o.eepromPath = dir.filePath(QStringLiteral("eeprom.eep"));
    return o;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestGaugeSimulator : public QObject
{
    Q_OBJECT

private slots:
    void identification_data();
    void identification();
    void entryHandshake_data();
    void entryHandshake();
    void transfer_data();
    void transfer();
    void cancelStoresNothing();
    void stalledFrameGetsNak();
    void lineDrops_data();
    void lineDrops();
    void publishReplacesOnlyLinks();
};

void TestGaugeSimulator::identification_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("split");
    QTest::addColumn<bool>("garbage");
    QTest::newRow("default version") << QString() << false << false;
    QTest::newRow("version from options") << QStringLiteral("V3.01") << false << false;
    QTest::newRow("split over reads") << QString() << true << false;
    QTest::newRow("noise before answer") << QString() << false << true;
}

void TestGaugeSimulator::identification()
{
    QFETCH(QString, version);
    QFETCH(bool, split);
    QFETCH(bool, garbage);
    QTemporaryDir dir;
    GaugeOptions options = fastOptions(dir);
    if (!version.isEmpty())
        options.version = version;
    options.split = split;
    options.garbage = garbage;
    GaugeSimulator sim(options);
    QString error;
    QVERIFY2(sim.start(dir.filePath(QStringLiteral("ports")), 4, &error), qPrintable(error));

    // The PC opening and closing the port in between must not hurt the line.
    PcPort(sim.linkPath()).send("x");
    PcPort pc(sim.linkPath());
    QVERIFY(pc.isOpen());
    pc.send("d");
    const QList<QByteArray> reads = pc.readUntilQuiet();
    const QByteArray all = reads.join();
    const QByteArray expected =
        "d" + (version.isEmpty() ? QByteArray("V2.16") : version.toLatin1()) + "e";
    QVERIFY2(all.endsWith(expected), all.toHex().constData());
    const QByteArray noise = all.chopped(expected.size());
    QCOMPARE(noise.isEmpty(), !garbage);
    for (char c : QByteArray("de\x06\x15\x7B\x7C", 6))
        QVERIFY(!noise.contains(c));
    if (split)
        QVERIFY(reads.size() > 1);
    else if (!garbage)
        QCOMPARE(reads.size(), 1);
}

void TestGaugeSimulator::entryHandshake_data()
{
    QTest::addColumn<char>("entry");
    QTest::addColumn<bool>("noReset");
    QTest::addColumn<bool>("noHandshake");
    QTest::addColumn<bool>("silent");
    QTest::newRow("firmware") << char(0x7B) << false << false << false;
    QTest::newRow("eeprom") << char(0x7C) << false << false << false;
    QTest::newRow("no handshake") << char(0x7C) << false << true << false;
    QTest::newRow("no reset") << char(0x7B) << true << false << false;
    QTest::newRow("silent") << char(0x7C) << false << false << true;
}

void TestGaugeSimulator::entryHandshake()
{
    QFETCH(char, entry);
    QFETCH(bool, noReset);
    QFETCH(bool, noHandshake);
    QFETCH(bool, silent);
    QTemporaryDir dir;
    GaugeOptions options = fastOptions(dir);
    options.noReset = noReset;
    options.noHandshake = noHandshake;
    options.silent = silent;
    GaugeSimulator sim(options);
    QVERIFY(sim.start(dir.path(), 1, nullptr));
    PcPort pc(sim.linkPath());

    const QByteArray echo = pc.enterBootloader(entry, 20);
    if (noReset || silent) {
        QVERIFY(echo.isEmpty());
        QVERIFY(pc.readUntilQuiet().isEmpty());
        QCOMPARE(sim.entryCharsReceived(), pc.entriesSent);
        return;
    }
    // The echo comes alone, the NAK in a read of its own after it.
    QCOMPARE(echo, QByteArray(1, entry));
    QVERIFY(pc.entriesSent > 1); // the ones before the reset went unanswered
    QCOMPARE(sim.entryCharsReceived(), pc.entriesSent);
    const QList<QByteArray> after = pc.readUntilQuiet();
    QCOMPARE(after, noHandshake ? QList<QByteArray>() : QList<QByteArray>{QByteArray(1, Nak)});
}

void TestGaugeSimulator::transfer_data()
{
    QTest::addColumn<char>("entry");
    QTest::addColumn<QList<int>>("nakBlocks");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QByteArray>("answers"); // one byte per frame
    QTest::addColumn<QByteArray>("image");

    const QByteArray one = blockData(1), two = blockData(2);
    QByteArray badSum = frame(1, one);
    badSum[131] = char(badSum[131] + 1);
    QByteArray badComplement = frame(1, one);
    badComplement[2] = char(0xFF);

    QTest::newRow("one block eeprom")
        << char(0x7C) << QList<int>{} << QList<QByteArray>{frame(1, one)} << QByteArray(1, Ack)
        << one;
    QByteArray controls(128, 'd');
    controls.replace(0, 6, QByteArray("\x04\x18\x7B\x7C\x01\x15", 6));
    QTest::newRow("control bytes as data")
        << char(0x7B) << QList<int>{} << QList<QByteArray>{frame(1, controls)} << QByteArray(1, Ack)
        << controls;
    QTest::newRow("bad checksum") << char(0x7C) << QList<int>{}
                                  << QList<QByteArray>{badSum, frame(1, one)} << bytes({Nak, Ack})
                                  << one;
    QTest::newRow("bad complement")
        << char(0x7C) << QList<int>{} << QList<QByteArray>{badComplement, frame(1, one)}
        << bytes({Nak, Ack}) << one;
    QTest::newRow("unexpected number")
        << char(0x7B) << QList<int>{} << QList<QByteArray>{frame(2, two), frame(1, one)}
        << bytes({Nak, Ack}) << one;
    QTest::newRow("repeat after lost ack kept once")
        << char(0x7B) << QList<int>{}
        << QList<QByteArray>{frame(1, one), frame(1, one), frame(2, two)} << bytes({Ack, Ack, Ack})
        << one + two;
    QTest::newRow("nak listed block twice")
        << char(0x7B) << QList<int>{2, 2}
        << QList<QByteArray>{frame(1, one), frame(2, two), frame(2, two), frame(2, two)}
        << bytes({Ack, Nak, Nak, Ack}) << one + two;

    QList<QByteArray> frames;
    QByteArray image;
    for (int b = 1; b <= 300; ++b) {
        frames.append(frame(b, blockData(b)));
        image.append(blockData(b));
    }
    QTest::newRow("300 blocks, number wraps")
        << char(0x7B) << QList<int>{} << frames << QByteArray(300, Ack) << image;
}

void TestGaugeSimulator::transfer()
{
    QFETCH(char, entry);
    QFETCH(QList<int>, nakBlocks);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, answers);
    QFETCH(QByteArray, image);
    QTemporaryDir dir;
    GaugeOptions options = fastOptions(dir);
    options.nakBlocks = nakBlocks;
    GaugeSimulator sim(options);
    QVERIFY(sim.start(dir.path(), 7, nullptr));
    PcPort pc(sim.linkPath());
    QCOMPARE(pc.enterBootloader(entry), QByteArray(1, entry));
    QCOMPARE(pc.readOnce(2s), QByteArray(1, Nak));

    QByteArray got;
    for (const QByteArray &f : frames) {
        pc.send(f);
        got.append(pc.readOnce(2s));
    }
    QCOMPARE(got.toHex(), answers.toHex());
    pc.send(QByteArray(1, Eot));
    QVERIFY(sim.waitForImages(1, 5s));

    const bool firmware = entry == 0x7B;
    QCOMPARE(readFile(firmware ? options.firmwarePath : options.eepromPath), image);
    QVERIFY(!QFile::exists(firmware ? options.eepromPath : options.firmwarePath));
    QCOMPARE(firmware ? sim.lastFirmwareImage() : sim.lastEepromImage(), image);
    QCOMPARE(sim.blocksReceived().size(), frames.size());
    QCOMPARE(sim.blocksReceived().last(), quint8(frames.last()[1]));

    // Back in the application: it identifies itself again.
    pc.send("d");
    QCOMPARE(pc.readUntilQuiet().join(), QByteArray("dV2.16e"));
}

void TestGaugeSimulator::cancelStoresNothing()
{
    QTemporaryDir dir;
    const GaugeOptions options = fastOptions(dir);
    GaugeSimulator sim(options);
    QVERIFY(sim.start(dir.path(), 2, nullptr));
    PcPort pc(sim.linkPath());
    QCOMPARE(pc.enterBootloader(0x7B), QByteArray(1, 0x7B));
    QCOMPARE(pc.readOnce(2s), QByteArray(1, Nak));
    pc.send(frame(1, blockData(1)));
    QCOMPARE(pc.readOnce(2s), QByteArray(1, Ack));
    pc.send(QByteArray(1, Can));
    pc.send("d");
    QCOMPARE(pc.readUntilQuiet().join(), QByteArray("dV2.16e"));
    QCOMPARE(sim.imagesStored(), 0);
    QVERIFY(!QFile::exists(options.firmwarePath));
}

void TestGaugeSimulator::stalledFrameGetsNak()
{
    QTemporaryDir dir;
    GaugeSimulator sim(fastOptions(dir));
    QVERIFY(sim.start(dir.path(), 2, nullptr));
    PcPort pc(sim.linkPath());
    QCOMPARE(pc.enterBootloader(0x7C), QByteArray(1, 0x7C));
    QCOMPARE(pc.readOnce(2s), QByteArray(1, Nak));
    // Half a frame, then silence: the rest must not be glued onto a later frame.
    pc.send(frame(1, blockData(1)).left(60));
    QCOMPARE(pc.readOnce(5s), QByteArray(1, Nak));
    pc.send(frame(1, blockData(1)));
    QCOMPARE(pc.readOnce(2s), QByteArray(1, Ack));
}

void TestGaugeSimulator::lineDrops_data()
{
    QTest::addColumn<bool>("pulledAfterBlock2");
    QTest::newRow("disconnect after block 2") << true;
    QTest::newRow("stop") << false;
}

void TestGaugeSimulator::lineDrops()
{
    QFETCH(bool, pulledAfterBlock2);
    QTemporaryDir dir;
    GaugeOptions options = fastOptions(dir);
    options.disconnectAfter = pulledAfterBlock2 ? 2 : 0;
    GaugeSimulator sim(options);
    QVERIFY(sim.start(dir.path(), 9, nullptr));
    const QString link = sim.linkPath();
    PcPort pc(link);
    QCOMPARE(pc.enterBootloader(0x7B), QByteArray(1, 0x7B));
    QCOMPARE(pc.readOnce(2s), QByteArray(1, Nak));
    pc.send(frame(1, blockData(1)));
    QCOMPARE(pc.readOnce(2s), QByteArray(1, Ack));
    if (pulledAfterBlock2)
        pc.send(frame(2, blockData(2)));
    else
        sim.stop();

    QByteArray after;
    for (int i = 0; i < 20 && !pc.lineLost; ++i)
        after.append(pc.readOnce(100ms));
    QVERIFY(pc.lineLost);
    QVERIFY(after.isEmpty()); // block 2 went unanswered
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(sim.imagesStored(), 0);
}

void TestGaugeSimulator::publishReplacesOnlyLinks()
{
    QTemporaryDir dir;
    const QString ports = dir.filePath(QStringLiteral("ports"));
    QVERIFY(QDir().mkpath(ports));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/pts"), ports + QStringLiteral("/COM5")));
    QFile blocker(ports + QStringLiteral("/COM6"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    GaugeSimulator stale(fastOptions(dir));
    QVERIFY(stale.start(ports, 5, nullptr));
    QCOMPARE(QFile::symLinkTarget(stale.linkPath()), stale.devicePath());

    GaugeSimulator onFile(fastOptions(dir));
    QString error;
    QVERIFY(!onFile.start(ports, 6, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(blocker.fileName()).isFile());
    QVERIFY(!onFile.start(ports, 100, &error));

    stale.stop();
    QVERIFY(!QFileInfo(ports + QStringLiteral("/COM5")).exists());
    QVERIFY(!QFileInfo(ports + QStringLiteral("/COM5")).isSymLink());
}

QTEST_GUILESS_MAIN(TestGaugeSimulator)
#include "tst_gaugesimulator.moc"
