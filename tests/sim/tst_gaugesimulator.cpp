// Drives the simulator through its published pty with plain POSIX calls, as the PC would.

#include "sim/GaugeSimulator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <unistd.h>

using namespace sim;

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(GaugeOptions)

namespace {

constexpr char Eot = 0x04, Ack = 0x06, Nak = 0x15, Can = 0x18, Fw = 0x7B, Ee = 0x7C, Drop = 0;

// The PC end of the line.
struct PcPort
{
    explicit PcPort(const QString &path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {}
    ~PcPort() { ::close(fd); }
    bool send(const QByteArray &bytes)
    {
        return ::write(fd, bytes.data(), bytes.size()) == bytes.size();
    }

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

    QList<QByteArray> readUntilQuiet()
    {
        QList<QByteArray> reads;
        for (QByteArray r; !(r = readOnce(200ms)).isEmpty();)
            reads.append(r);
        return reads;
    }

    // The PC's reset wait: the entry character every 50 ms until something answers.
    QByteArray enterBootloader(char entry, int attempts = 60)
    {
        QByteArray r;
        for (; r.isEmpty() && entriesSent < attempts; ++entriesSent)
            r = send(QByteArray(1, entry)) ? readOnce(50ms) : QByteArray();
        return r;
    }

    const int fd;
    bool lineLost = false;
    int entriesSent = 0;
};

QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), qsizetype(list.size()));
}

QByteArray blockData(int block)
{
    QByteArray data(128, 0);
    for (int i = 0; i < 128; ++i)
        data[i] = char(block * 7 + i);
    return data;
}

QByteArray frame(int block, const QByteArray &data = {})
{
    const QByteArray payload = data.isEmpty() ? blockData(block) : data;
    quint8 sum = 0;
    for (char c : payload)
        sum += quint8(c);
    return bytes({0x01, char(block), char(255 - (block & 0xFF))}) + payload + char(sum);
}

// A started simulator with a quick reset, its port folder and image files in a private folder,
// and the PC's end of its line.
struct Rig
{
    explicit Rig(GaugeOptions options = {})
    {
        options.resetDelay = 100ms;
        options.firmwarePath = dir.filePath(QStringLiteral("firmware.bin"));
        options.eepromPath = dir.filePath(QStringLiteral("eeprom.eep"));
        sim.emplace(options);
        started = sim->start(dir.filePath(QStringLiteral("ports")), 4);
        // The PC closing the port and opening it again must not hurt the line.
        started = started && PcPort(sim->linkPath()).send("x");
        pc.emplace(sim->linkPath());
    }
    QByteArray stored(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
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
    void identification_data()
    {
        QTest::addColumn<GaugeOptions>("options");
        QTest::newRow("version from options") << GaugeOptions{.version = QStringLiteral("V3.01")};
        QTest::newRow("split over reads") << GaugeOptions{.split = true};
        QTest::newRow("noise before answer") << GaugeOptions{.garbage = true};
    }

    void identification()
    {
        QFETCH(GaugeOptions, options);
        Rig rig(options);
        QVERIFY(rig.started && rig.pc->send("d"));
        const QList<QByteArray> reads = rig.pc->readUntilQuiet();
        const QByteArray all = reads.join();
        const QByteArray expected = "d" + options.version.toLatin1() + "e";
        QVERIFY2(all.endsWith(expected), all.toHex().constData());
        const QByteArray noise = all.chopped(expected.size());
        QCOMPARE(noise.isEmpty(), !options.garbage);
        for (char c : bytes({'d', 'e', Ack, Nak, Fw, Ee}))
            QVERIFY(!noise.contains(c));
        QVERIFY(options.garbage || (reads.size() > 1) == options.split);
    }

    void entryFaults_data()
    {
        QTest::addColumn<GaugeOptions>("options");
        QTest::addColumn<QByteArray>("received"); // all the PC gets
        QTest::newRow("no reset") << GaugeOptions{.noReset = true} << QByteArray();
        QTest::newRow("no handshake") << GaugeOptions{.noHandshake = true} << QByteArray(1, Ee);
        QTest::newRow("silent") << GaugeOptions{.silent = true} << QByteArray();
    }

    void entryFaults()
    {
        QFETCH(GaugeOptions, options);
        QFETCH(QByteArray, received);
        Rig rig(options);
        QVERIFY(rig.started);
        const QByteArray echo = rig.pc->enterBootloader(Ee, 20);
        QCOMPARE(echo + rig.pc->readUntilQuiet().join(), received);
        QCOMPARE(rig.sim->entryCharsReceived(), rig.pc->entriesSent);
    }

    void transfer_data()
    {
        QTest::addColumn<char>("entry");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<char>("ending");      // EOT, CAN, or Drop: the line goes away
        QTest::addColumn<QByteArray>("image"); // what is stored
        QTest::addColumn<GaugeOptions>("options");

        const QByteArray one = blockData(1), two = blockData(2);
        QByteArray badSum = frame(1), badComplement = frame(1);
        badSum[131] = char(badSum[131] + 1);
        badComplement[2] = char(0xFF);
        QByteArray controls(128, 'd');
        controls.replace(0, 6, bytes({Eot, Can, Fw, Ee, 0x01, Nak}));

        // Answers: A for ACK, N for NAK, - for none.
        auto row = [](const char *name, char entry, const QList<QByteArray> &frames,
                      const char *answers, const QByteArray &image, char ending = Eot,
                      const GaugeOptions &options = {}) {
            QTest::newRow(name) << entry << frames
                                << QByteArray(answers).replace('A', Ack).replace('N', Nak) << ending
                                << image << options;
        };
        row("one block eeprom", Ee, {frame(1)}, "A", one);
        row("control bytes as data", Fw, {frame(1, controls)}, "A", controls);
        row("bad checksum", Ee, {badSum, frame(1)}, "NA", one);
        row("bad complement", Ee, {badComplement, frame(1)}, "NA", one);
        row("unexpected number", Fw, {frame(2), frame(1)}, "NA", one);
        // Half a frame, then a pause: the rest must not be glued onto the next frame.
        row("stalled frame", Fw, {frame(1).left(60), frame(1)}, "NA", one);
        row("repeat after lost ack kept once", Fw, {frame(1), frame(1), frame(2)}, "AAA",
            one + two);
        row("nak listed block twice", Fw, {frame(1), frame(2), frame(2), frame(2)}, "ANNA",
            one + two, Eot, {.nakBlocks = {2, 2}});
        row("cancel stores nothing", Fw, {frame(1)}, "A", {}, Can);
        row("disconnect after block 2", Fw, {frame(1), frame(2)}, "A-", {}, Drop,
            {.disconnectAfter = 2});
        row("stopped after block 1", Fw, {frame(1)}, "A", {}, Drop);
    }

    void transfer()
    {
        QFETCH(char, entry);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QByteArray, answers);
        QFETCH(char, ending);
        QFETCH(QByteArray, image);
        QFETCH(GaugeOptions, options);
        Rig rig(options);
        QVERIFY(rig.started);
        PcPort &pc = *rig.pc;
        // The echo comes alone once the 100 ms reset is over, so at least the tries at 0 and
        // 50 ms go unanswered; the NAK comes in a read of its own.
        QCOMPARE(pc.enterBootloader(entry), QByteArray(1, entry));
        QVERIFY(pc.entriesSent > 2);
        QCOMPARE(rig.sim->entryCharsReceived(), pc.entriesSent);
        QCOMPARE(pc.readOnce(2s), QByteArray(1, Nak));

        QByteArray got;
        for (const QByteArray &f : frames) {
            QVERIFY(pc.send(f));
            const QByteArray answer = pc.readOnce(5s);
            got.append(answer.isEmpty() ? QByteArray("-") : answer); // a late answer must show
        }
        QCOMPARE(got.toHex(), answers.toHex());

        if (ending == Drop) {
            if (!options.disconnectAfter)
                rig.sim->stop();
            QCOMPARE(pc.readOnce(2s), QByteArray());
            QVERIFY(pc.lineLost);
            QVERIFY(!QFileInfo(rig.sim->linkPath()).isSymLink());
        } else {
            // Back in the application; its answer also shows the ending was handled.
            QVERIFY(pc.send(QByteArray(1, ending) + 'd'));
            QCOMPARE(pc.readUntilQuiet().join(), QByteArray("dV2.16e"));
        }
        QCOMPARE(rig.sim->waitForImages(1, ending == Eot ? 5s : 0s), ending == Eot);
        const bool firmware = entry == Fw;
        QCOMPARE(rig.stored(firmware ? "firmware.bin" : "eeprom.eep"), image);
        QVERIFY(!QFile::exists(rig.dir.filePath(firmware ? "eeprom.eep" : "firmware.bin")));
    }

    void publishReplacesOnlyLinks()
    {
        QTemporaryDir dir;
        const QString com5 = dir.filePath(QStringLiteral("COM5"));
        const QString com6 = dir.filePath(QStringLiteral("COM6"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/pts"), com5));
        QVERIFY(QFile(com6).open(QIODevice::WriteOnly));

        GaugeSimulator sim, other;
        QVERIFY(sim.start(dir.path(), 5));
        QCOMPARE(QFile::symLinkTarget(com5), sim.devicePath());
        QString error;
        QVERIFY(!other.start(dir.path(), 6, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(com6).isFile());
        // A live simulator's link stays its own.
        QVERIFY(!other.start(dir.path(), 5, &error));
        QCOMPARE(QFile::symLinkTarget(com5), sim.devicePath());

        sim.stop();
        QVERIFY(!QFileInfo(com5).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestGaugeSimulator)
#include "tst_gaugesimulator.moc"
