// Drives the simulator through its published pty with plain POSIX calls, as the PC would.

#include "TestFiles.h"
#include "sim/GaugeSimulator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <numeric>
#include <optional>
#include <poll.h>
#include <unistd.h>

using namespace sim;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(GaugeOptions)

namespace {

constexpr char Eot = 0x04, Ack = 0x06, Nak = 0x15, Can = 0x18, Fw = 0x7B, Ee = 0x7C;

struct PcPort
{
    explicit PcPort(const QString &path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {}
    ~PcPort() { ::close(fd); }
    bool send(const QByteArray &b) { return ::write(fd, b.data(), b.size()) == b.size(); }

    // One read's worth, or empty when nothing came in time. EOF or a read error sets lineLost.
    QByteArray readOnce(std::chrono::milliseconds timeout)
    {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, int(timeout.count())) <= 0)
            return {};
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        lineLost = lineLost || n == 0 || (n < 0 && errno != EAGAIN);
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }

    QByteArray readUntilQuiet()
    {
        QByteArray all;
        for (QByteArray r; !(r = readOnce(200ms)).isEmpty();)
            all += r;
        return all;
    }

    // The PC's reset wait: the entry character every 50 ms until something answers.
    QByteArray enterBootloader(char entry)
    {
        QByteArray r;
        for (; r.isEmpty() && entriesSent < 60; ++entriesSent)
            r = send(QByteArray(1, entry)) ? readOnce(50ms) : QByteArray();
        return r;
    }

    const int fd;
    bool lineLost = false;
    int entriesSent = 0;
};

const auto bytes = [](std::initializer_list<char> l) { return QByteArray(l.begin(), l.size()); };

QByteArray blockData(int block)
{
    QByteArray data(128, 0);
    std::iota(data.begin(), data.end(), char(block * 7));
    return data;
}

// SOH, the block number, its complement, the data (block's own by default), the sum.
QByteArray frame(int block, const QByteArray &data = {})
{
    const QByteArray payload = data.isEmpty() ? blockData(block) : data;
    const int sum = std::accumulate(payload.begin(), payload.end(), 0);
    return bytes({0x01, char(block), char(255 - block)}) + payload + char(sum);
}

// A started simulator (quick reset, files in a private folder) and the PC's end of its line.
struct Rig
{
    explicit Rig(GaugeOptions options = {})
    {
        options.resetDelay = 100ms;
        options.firmwarePath = dir.filePath(QStringLiteral("firmware.bin"));
        options.eepromPath = dir.filePath(QStringLiteral("eeprom.eep"));
        sim.emplace(options);
        // The PC closing the port and opening it again must not hurt the line.
        started = sim->start(dir.filePath("ports"), 4) && PcPort(sim->linkPath()).send("x");
        pc.emplace(sim->linkPath());
    }
    QByteArray stored(const QString &name) const { return readBytes(dir.filePath(name)); }
    QTemporaryDir dir;
    std::optional<GaugeSimulator> sim;
    std::optional<PcPort> pc;
    bool started = false;
};

} // namespace

class TestGaugeSimulator : public QObject
{
    Q_OBJECT

private slots:
    // Its own version, split into single bytes, after noise that holds no protocol byte.
    void identification()
    {
        Rig rig({.version = QStringLiteral("V3.01"), .garbage = true, .split = true});
        QVERIFY(rig.started && rig.pc->send("d"));
        const QByteArray all = rig.pc->readUntilQuiet();
        QVERIFY2(all.endsWith("dV3.01e") && all.size() > 7, all.toHex().constData());
        for (char c : bytes({'d', 'e', Ack, Nak, Fw, Ee}))
            QVERIFY(!all.chopped(7).contains(c));
    }

    void transfer_data()
    {
        QTest::addColumn<char>("entry");
        QTest::addColumn<QList<QByteArray>>("frames");
        // To the entry, then to each frame: A for ACK, N for NAK, - for none.
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<char>("ending");      // EOT or CAN
        QTest::addColumn<QByteArray>("image"); // what is stored
        QTest::addColumn<GaugeOptions>("options");

        const QByteArray one = blockData(1), two = blockData(2);
        QByteArray badSum = frame(1), badComplement = frame(1).replace(2, 1, "\xff");
        badSum[131] = char(badSum[131] + 1);
        const QByteArray controls = bytes({Eot, Can, Fw, Ee, 0x01, Nak}) + QByteArray(122, 'd');
        auto row = [](const char *name, char entry, const QList<QByteArray> &frames,
                      const char *answers, const QByteArray &image, char ending = Eot,
                      const GaugeOptions &options = {}) {
            QTest::newRow(name) << entry << frames
                                << QByteArray(answers).replace('A', Ack).replace('N', Nak) << ending
                                << image << options;
        };
        row("one block eeprom", Ee, {frame(1)}, "NA", one);
        row("control bytes as data", Fw, {frame(1, controls)}, "NA", controls);
        row("bad checksum", Ee, {badSum, frame(1)}, "NNA", one);
        row("bad complement", Ee, {badComplement, frame(1)}, "NNA", one);
        row("unexpected number", Fw, {frame(2), frame(1)}, "NNA", one);
        // Half a frame, then a pause: the rest must not be glued onto the next frame.
        row("stalled frame", Fw, {frame(1).left(60), frame(1)}, "NNA", one);
        row("repeat after lost ack kept once", Fw, {frame(1), frame(1), frame(2)}, "NAAA",
            one + two);
        row("nak listed block twice", Fw, {frame(1), frame(2), frame(2), frame(2)}, "NANNA",
            one + two, Eot, {.nakBlocks = {2, 2}});
        row("cancel stores nothing", Fw, {frame(1)}, "NA", {}, Can);
        row("no handshake", Ee, {}, "-", {}, Can, {.noHandshake = true});
    }

    void transfer()
    {
        QFETCH(char, entry);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(char, ending);
        QFETCH(QByteArray, image);
        QFETCH(GaugeOptions, options);
        Rig rig(options);
        QVERIFY(rig.started);
        PcPort &pc = *rig.pc;
        // The echo comes alone once the 100 ms reset is over, so the first try always goes
        // unanswered (more on a quiet machine); the handshake comes in a read of its own.
        QCOMPARE(pc.enterBootloader(entry), QByteArray(1, entry));
        QVERIFY(pc.entriesSent >= 2);
        QCOMPARE(rig.sim->entryCharsReceived(), pc.entriesSent);
        const auto answer = [&pc] { // a late answer must show
            const QByteArray r = pc.readOnce(3s);
            return r.isEmpty() ? QByteArray("-") : r;
        };
        QByteArray got = answer();
        for (const QByteArray &f : frames)
            got += pc.send(f) ? answer() : QByteArray("not sent");
        QTEST(got, "answers");
        // Back in the application; its answer also shows the ending was handled, the image
        // stored before it.
        QVERIFY(pc.send(QByteArray(1, ending) + 'd'));
        QCOMPARE(pc.readUntilQuiet(), QByteArray("dV2.16e"));
        QCOMPARE(rig.sim->imagesStored(), int(!image.isEmpty()));
        const bool firmware = entry == Fw;
        QCOMPARE(rig.stored(firmware ? "firmware.bin" : "eeprom.eep"), image);
        QVERIFY(!QFile::exists(rig.dir.filePath(firmware ? "eeprom.eep" : "firmware.bin")));
    }

    void publishReplacesOnlyLinks()
    {
        QTemporaryDir dir;
        const QString com5 = dir.filePath("COM5"), com6 = dir.filePath("COM6");
        const QString com7 = dir.filePath("COM7"), com8 = dir.filePath("COM8");
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/pts"), com5));
        QVERIFY(QFile(com6).open(QIODevice::WriteOnly));
        // A user's link to a device, and one left behind on a pty nobody holds.
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), com7));
        const int freePty = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(freePty >= 0 && grantpt(freePty) == 0 && unlockpt(freePty) == 0);
        QVERIFY(QFile::link(QString::fromLocal8Bit(ptsname(freePty)), com8));

        GaugeSimulator sim, other, stale;
        QVERIFY(sim.start(dir.path(), 5));
        QCOMPARE(QFile::symLinkTarget(com5), sim.devicePath());
        QVERIFY(stale.start(dir.path(), 8));
        QCOMPARE(QFile::symLinkTarget(com8), stale.devicePath());
        close(freePty);
        QString error;
        QVERIFY(!other.start(dir.path(), 6, &error) && !error.isEmpty());
        QVERIFY(QFileInfo(com6).isFile());
        QVERIFY(!other.start(dir.path(), 7, &error) && error.contains("/dev/null"));
        QCOMPARE(QFile::symLinkTarget(com7), QStringLiteral("/dev/null"));
        // A live simulator's link stays its own.
        QVERIFY(!other.start(dir.path(), 5, &error));
        QCOMPARE(QFile::symLinkTarget(com5), sim.devicePath());

        // Stopping drops the line under the PC and takes the link away.
        PcPort pc(com5);
        sim.stop();
        QCOMPARE(pc.readOnce(2s), QByteArray());
        QVERIFY(pc.lineLost && !QFileInfo(com5).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestGaugeSimulator)
#include "tst_gaugesimulator.moc"
