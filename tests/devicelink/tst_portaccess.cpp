#include "ScriptedPort.h"
#include "TestContext.h"
#include "devicelink/ComPort.h"
#include "devicelink/ComPortNames.h"
#include "devicelink/PortHolder.h"
#include "devicelink/PortScan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace devicelink;

class TestPortAccess : public QObject
{
    Q_OBJECT

private slots:
    // The scan runs to 99 unless cancelled and lists what opens; denied and busy ports are
    // named after it, missing ones and I/O errors stay silent.
    void scanListsWhatOpens()
    {
        using E = SerialPort::OpenError;
        ScriptedPort port;
        port.openOnly({1, 12});
        port.openErrors.insert(3, E::PermissionDenied);
        port.openErrors.insert(4, E::Busy);
        port.openErrors.insert(5, E::IoError);
        struct : devicelink::PortInfoSource
        {
            devicelink::PortDetails describe(const QString &device) const override
            {
                if (device != QLatin1String("/dev/ttyFAKE1"))
                    return {};
                return {"FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001};
            }
        } info;

        const AvailablePorts ports = ScanAvailablePorts(port, LinkHooks(), info);

        QCOMPARE(ports.entries, QStringList({"COM 1 verfügbar", "COM 12 verfügbar"}));
        QCOMPARE(ports.numbers, QList<int>({1, 12}));
        QCOMPARE(ports.toolTips,
                 QStringList({"/dev/ttyFAKE1\nFT232R USB UART (FTDI)\nVID:PID 0403:6001",
                              "/dev/ttyFAKE12"}));
        QCOMPARE(ports.probed.size(), 5);
        QCOMPARE(port.openedPorts().size(), 99);
        QVERIFY(!port.isOpen());
        const QStringList lines = ScanProblemLines(ports);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("COM 3 (/dev/ttyFAKE3): keine Berechtigung"));
        QVERIFY(lines[0].contains("-aG dialout"));
        QVERIFY(lines[1].startsWith("COM 4 (/dev/ttyFAKE4): belegt")); // the holder: see below

        LinkHooks cancelled;
        cancelled.cancelled = [&port] { return port.openedPorts().size() == 99 + 12; };
        QCOMPARE(ScanAvailablePorts(port, cancelled, info).numbers, QList<int>({1, 12}));
        QCOMPARE(port.openedPorts().size(), 99 + 12);
    }

    void portHolder_data()
    {
        QTest::addColumn<QStringList>("processes"); // "pid name", "+" when it holds the device
        QTest::addColumn<QString>("detail");
        QTest::newRow("an open file names the holder")
            << QStringList{"640 ModemManager", "812 minicom +"} << " von minicom (PID 812)";
        QTest::newRow("else ModemManager may") << QStringList{"12 bash", "640 ModemManager"}
                                               << " – möglicherweise von ModemManager (PID 640)";
        QTest::newRow("nobody known")
            << QStringList{"12 bash"} << " (von einem anderen Programm geöffnet)";
    }

    // Who keeps a busy port, from a /proc of our own making.
    void portHolder()
    {
        QFETCH(QStringList, processes);
        QTemporaryDir proc;
        const QString device = proc.filePath("ttyUSB0");
        QVERIFY(QFile(device).open(QIODevice::WriteOnly));
        for (const QString &process : processes) {
            const QStringList fields = process.split(' ');
            const QString dir = proc.filePath(fields[0]);
            QVERIFY(QDir().mkpath(dir + "/fd"));
            QFile comm(dir + "/comm");
            QVERIFY(comm.open(QIODevice::WriteOnly) && comm.write((fields[1] + '\n').toUtf8()) > 0);
            QVERIFY(QFile::link(fields.size() > 2 ? device : proc.filePath("null"), dir + "/fd/3"));
        }
        QTEST(BusyDetail(FindPortHolder(device, proc.path())), "detail");
    }

    // Bytes that arrived before the open belong to nobody: the first poll sees only new ones.
    void openDiscardsWaitingInput()
    {
#ifndef Q_OS_UNIX
        QSKIP("pseudo-terminals are POSIX only");
#else
        int gauge = -1, device = -1;
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        QVERIFY(openpty(&gauge, &device, name, &raw, nullptr) == 0);
        const QString portDir = qEnvironmentVariable("IVEVA_PORT_DIR");
        QVERIFY(QDir().mkpath(portDir));
        QFile::remove(portDir + QStringLiteral("/COM5"));
        QVERIFY(QFile::link(QString::fromLocal8Bit(name), portDir + QStringLiteral("/COM5")));
        QCOMPARE(write(gauge, "stale", 5), 5);
        pollfd waiting{device, POLLIN, 0};
        QCOMPARE(::poll(&waiting, 1, 5000), 1); // the bytes wait at the device

        ComPort port(testContext().link);
        QVERIFY(port.open(5, QStringLiteral("19200,n,8,1")));
        QCOMPARE(write(gauge, "new", 3), 3);
        const PollResult read = port.poll(1'000'000);

        QCOMPARE(read.bytes, QByteArray("new"));
        port.close();
        ::close(device);
        ::close(gauge);
#endif
    }

    // Only the names, at the ends of each range: nothing here opens a device.
    void deviceNames()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows names its ports COMn");
#endif
        const std::tuple<const char *, int, const char *> rows[] = {
            {"", 1, "/dev/ttyS0"},
            {"", 32, "/dev/ttyS31"},
            {"", 33, "/dev/ttyUSB0"},
            {"", 96, "/dev/ttyACM31"},
            {"", 97, ""},
            {"", 0, ""},
            {"/tmp/ports", 7, "/tmp/ports/COM7"},
            {"/tmp/ports", 100, ""}};
        for (const auto &[portDir, com, device] : rows)
            QCOMPARE(ComPortNames::deviceFor(com, portDir), QString(device));
    }
};

QTEST_GUILESS_MAIN(TestPortAccess)
#include "tst_portaccess.moc"
