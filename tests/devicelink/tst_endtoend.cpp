#include "TestContext.h"
#include "devicelink/BootloaderTransfer.h"
#include "devicelink/ComPort.h"
#include "devicelink/Identification.h"
#include "devicelink/PortScan.h"
#include "sim/GaugeSimulator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace devicelink;
using namespace sim;

using namespace std::chrono_literals;

// The device link against the gauge simulator, through real pseudo-terminals.
class TestEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_portDir = m_dir.filePath(QStringLiteral("ports"));
    // The simulators' ports, at a short poll.
    const LinkSettings m_link{m_portDir, 5};
    QStringList m_log;
    LinkHooks m_hooks;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_hooks.log = [this](const QString &line, LinkHooks::LineStyle) { m_log.append(line); };
    }

    void init() { m_log.clear(); }

    void pulledGaugeEndsTheTransfer()
    {
        GaugeOptions options;
        options.resetDelay = 0ms;
        options.disconnectAfter = 3;
        GaugeSimulator gauge(options);
        QVERIFY(gauge.start(m_portDir, 6));
        ComPort port(m_link);
        QVERIFY(OpenPortForTransfer(port, 6, 19200, m_hooks));

        QCOMPARE(UploadImage(port, FlashImage(filePattern(20 * 128)), TransferVariant::firmware(),
                             m_hooks),
                 TransferOutcome::PortLost);

        QCOMPARE(m_log.count(QStringLiteral("ACK")), 2);
        QVERIFY(!port.isOpen());
    }

    void portsThatCannotBeOpened()
    {
        GaugeSimulator gauge;
        QVERIFY(gauge.start(m_portDir, 7));
        const QString pty = QFileInfo(m_portDir + "/COM7").canonicalFilePath();
        QVERIFY(QFile::link(pty, m_portDir + "/COM9")); // a second name for the same device
        QVERIFY(QFile::link(m_portDir + "/gone", m_portDir + "/COM8")); // a link to nothing
        ComPort holder(m_link);
        QVERIFY(holder.open(7, QStringLiteral("19200,n,8,1")));
        ComPort port(m_link);

        // Busy under every name (the flasher's --list-ports test shows both links): the lock
        // belongs to the device, not to the link.
        QVERIFY(!port.openDevice(pty, QStringLiteral("19200,n,8,1")));
        QCOMPARE(port.openError(), SerialPort::OpenError::Busy);
        // The holder, this process, is named.
        QVERIFY(!OpenPortForTransfer(port, 7, 19200, m_hooks));
        QVERIFY(!OpenPortForTransfer(port, 8, 19200, m_hooks));
        QCOMPARE(port.openError(), SerialPort::OpenError::Missing);
        const QString self =
            QStringLiteral("tst_endtoend (PID %1)").arg(QCoreApplication::applicationPid());
        QCOMPARE(m_log, QStringList({"öffne COM-Port", "Fehler beim öffnen des Comports",
                                     pty + ": belegt von " + self, "öffne COM-Port",
                                     "Fehler beim öffnen des Comports",
                                     m_portDir + "/COM8: nicht vorhanden"}));
        QVERIFY(!port.isOpen());

        holder.close();
        QVERIFY(PortTest(port, 9));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
