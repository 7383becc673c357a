#include "RxRelay.h"
#include "TestContext.h"
#include "devicelink/BootloaderTransfer.h"
#include "devicelink/ComPort.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace devicelink;

// The frames are XMODEM with an 8-bit checksum: lrzsz's rx, an independent receiver, must
// accept every one of them and write exactly the padded image.
class TestRxInterop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("rx")).isEmpty(),
                 "lrzsz's rx is missing: the test command installs it");
    }

    void rxAcceptsEveryFrame_data()
    {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<bool>("firmware");
        QTest::newRow("EEPROM image, 21 bytes") << 21 << false;
        QTest::newRow("firmware, 300 blocks, number wraps") << 300 * 128 - 50 << true;
    }

    void rxAcceptsEveryFrame()
    {
        QFETCH(int, fileSize);
        QFETCH(bool, firmware);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // The default poll time: rx on a loaded machine may take a while to answer a block.
        const LinkSettings link{dir.filePath(QStringLiteral("ports"))};
        RxRelay relay;
        QVERIFY(relay.start(link.portDir, 2, dir.path(), QStringLiteral("received.bin")));

        const FlashImage image(filePattern(fileSize));
        QStringList log;
        LinkHooks hooks;
        hooks.log = [&](const QString &line, LinkHooks::LineStyle) { log.append(line); };
        ComPort port(link);
        QVERIFY(OpenPortForTransfer(port, 2, 19200, hooks));

        const TransferOutcome outcome = UploadImage(
            port, image, firmware ? TransferVariant::firmware() : TransferVariant::eeprom(), hooks);

        QVERIFY2(outcome == TransferResult::Sent, qPrintable(log.join(QLatin1Char('\n'))));
        QVERIFY(!port.isOpen());
        QCOMPARE(log.count(QStringLiteral("ACK")), image.blockCount());
        QCOMPARE(relay.waitForRx(10'000), 0);
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("received.bin"))), image.bytes());
    }
};

QTEST_GUILESS_MAIN(TestRxInterop)
#include "tst_rxinterop.moc"
