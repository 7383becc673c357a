// The "Firmware-Info" command from the update window and from the batch mode, against the
// simulator and a local update server.

#include "BatchMode.h"
#include "ComPort.h"
#include "FlasherTestKit.h"
#include "Form1.h"
#include "TestHttpServer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QNetworkProxy>
#include <QPushButton>

using namespace std::chrono_literals;

namespace {

constexpr int GaugeCom = 5;

QByteArray newFirmware()
{
    QByteArray bytes(300, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 53 + 29) % 256);
    return bytes;
}

// The update server: V2.20 for an installed V2.16.
void serveUpdate(TestHttpServer &server)
{
    server.route("/DEVAZ/firmware.txt").body =
        server.url("/files/fw220.bin").toString().toUtf8().prepend("V2.20,") + ",fw220.bin\n";
    server.route("/files/fw220.bin").body = newFirmware();
    server.route("/DEVAZ/lastfw.bin").body = newFirmware();
}

QStringList logOf(const Form1 &window)
{
    QStringList lines;
    for (int i = 0; i < window.List1->count(); ++i)
        lines.append(window.List1->item(i)->text());
    return lines;
}

} // namespace

class TestFirmwareInfoWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void commonEndingAfterEveryRun_data()
    {
        QTest::addColumn<bool>("silentGauge");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("programmed")
            << false << QList<bool>{true, true, true}
            << QStringList{"flasher suchen?", "flasher runterladen?", "flasher einspielen?"}
            << "und spielen Sie diese auf das Gerät!";
        QTest::newRow("No to the online search")
            << false << QList<bool>{false} << QStringList{"flasher suchen?"}
            << "auf dem Gerät installierte Firmware Version: V2.16";
        QTest::newRow("no answer from the gauge")
            << true << QList<bool>{} << QStringList{}
            << "Gerät nicht gefunden oder Firmware kleiner als V2.16";
    }

    void commonEndingAfterEveryRun()
    {
        QFETCH(bool, silentGauge);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, titles);
        QFETCH(QString, lastLine);
        SimulatedPorts ports;
        GaugeOptions options;
        options.silent = silentGauge;
        options.resetDelay = 50ms;
        GaugeSimulator &gauge = ports.add(GaugeCom, options);
        TestHttpServer server;
        serveUpdate(server);
        const QString eeprom = writeFile(m_dir, QStringLiteral("settings.eep"), 21);
        const QString copyPath = m_dir.filePath(QStringLiteral("copy.bin"));
        const QString downloads = m_dir.filePath(QStringLiteral("downloads"));
        QDir().mkpath(downloads);

        Form1 window;
        window.setOpenFileDialog([&](QWidget *, const QString &) { return eeprom; });
        QStringList asked;
        window.setYesNoQuestion([&](QWidget *, const QString &title, const QString &) {
            asked.append(title);
            return asked.size() <= answers.size() && answers[asked.size() - 1];
        });
        QString preset;
        window.setSaveFileDialog([&](QWidget *, const QString &name) -> std::optional<QString> {
            preset = name;
            return copyPath;
        });
        window.setUpdateUrl(server.baseUrl().toString());
        window.setDownloadFolder(downloads);
        window.cmd_Search_File_Click();
        QVERIFY(window.Command2->isEnabled());

        window.Command3_Click();

        QCOMPARE(asked, titles);
        QCOMPARE(logOf(window).last(), lastLine);
        QVERIFY(window.cmd_Upload->isEnabled());
        QVERIFY(!window.Command2->isEnabled());
        QVERIFY(window.cmd_Search_File->isEnabled());
        QVERIFY(window.Command3->isEnabled());
        QVERIFY(window.lbl_info->isHidden());
        QCOMPARE(QDir(downloads).entryList(QDir::Files), QStringList());
        if (answers.size() == 3) {
            QCOMPARE(preset, QStringLiteral("fw220.bin"));
            QVERIFY(gauge.waitForImages(1, 5s));
            QCOMPARE(gauge.lastFirmwareImage(), FlashImage(newFirmware()).bytes());
            QCOMPARE(window.Label4->text(), QStringLiteral("100 %"));
            QVERIFY(QFile::exists(copyPath));
        }
    }

    void batchUpdate_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("images");
        QTest::newRow("versions only") << QStringList() << 1 << 0;
        QTest::newRow("--yes programs the gauge") << QStringList{"--yes"} << 0 << 1;
    }

    void batchUpdate()
    {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(int, images);
        SimulatedPorts ports;
        GaugeOptions gaugeOptions;
        gaugeOptions.resetDelay = 50ms;
        GaugeSimulator &gauge = ports.add(GaugeCom, gaugeOptions);
        TestHttpServer server;
        serveUpdate(server);
        QString printed;
        QTextStream out(&printed);
        QTextStream err(&printed);
        ComPort port;

        const int exitStatus = BatchMode::Run(QStringList{"iveva-flasher", "--update", "--port",
                                                          QString::number(GaugeCom), "--update-url",
                                                          server.baseUrl().toString()} +
                                                  options,
                                              port, out, err, false);

        QCOMPARE(exitStatus, status);
        QVERIFY(printed.contains("auf dem Gerät installierte Firmware Version: V2.16"));
        QVERIFY(printed.contains("Verfügbare Firmwareversion: V2.20"));
        if (images > 0)
            QVERIFY(gauge.waitForImages(images, 5s));
        QCOMPARE(gauge.imagesStored(), images);
    }
};

QTEST_MAIN(TestFirmwareInfoWindow)
#include "tst_firmwareinfowindow.moc"
