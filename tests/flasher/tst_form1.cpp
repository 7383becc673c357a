// The update window, offscreen, against simulated gauges and scripted ports.

#include "FlasherTestKit.h"
#include "FlasherTexts.h"
#include "Form1.h"
#include "LinkTexts.h"
#include "PortScan.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

using namespace std::chrono_literals;

namespace {

// cmd_Search_File, cmd_Upload, Command2, Command3, Command4, lbl_info shown.
using States = QList<bool>;

States statesOf(const Form1 &w)
{
    return {w.cmd_Search_File->isEnabled(), w.cmd_Upload->isEnabled(), w.Command2->isEnabled(),
            w.Command3->isEnabled(),        w.Command4->isEnabled(),   !w.lbl_info->isHidden()};
}

QStringList logOf(const Form1 &w)
{
    QStringList lines;
    for (int i = 0; i < w.List1->count(); ++i)
        lines.append(w.List1->item(i)->text());
    return lines;
}

QColor fieldColour(const Form1 &w)
{
    return w.txt_File->palette().color(QPalette::Text);
}

const QColor Blue(53, 94, 234);
const QColor Red(255, 0, 0);

// The states of the window at the first time each log line appeared.
struct PhaseRecorder
{
    QMap<QString, States> at;
    std::function<void(const QString &)> onLine;

    explicit PhaseRecorder(Form1 &w)
    {
        QObject::connect(w.List1->model(), &QAbstractItemModel::rowsInserted, w.List1,
                         [this, &w](const QModelIndex &, int first, int) {
                             const QString line = w.List1->item(first)->text();
                             if (!at.contains(line))
                                 at.insert(line, statesOf(w));
                             if (onLine)
                                 onLine(line);
                         });
    }
};

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    // Answers the window's file dialog with the given path ("" cancels).
    static void answerDialog(Form1 &w, const QString &path)
    {
        w.setOpenFileDialog([path](QWidget *, const QString &) -> std::optional<QString> {
            if (path.isEmpty())
                return std::nullopt;
            return path;
        });
    }

    static void choose(Form1 &w, const QString &path)
    {
        answerDialog(w, path);
        w.cmd_Search_File_Click();
    }

    static void click(Form1 &w, UploadKind kind)
    {
        kind == UploadKind::Firmware ? w.cmd_Upload_Click() : w.Command2_Click();
    }

private slots:
    void startUp_data()
    {
        QTest::addColumn<QList<int>>("gauges");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("no ports") << QList<int>() << QStringList();
        QTest::newRow("ports 3 and 12")
            << QList<int>{3, 12} << QStringList{"COM 3 verfügbar", "COM 12 verfügbar"};
    }

    void startUp()
    {
        QFETCH(QList<int>, gauges);
        QFETCH(QStringList, entries);
        SimulatedPorts ports;
        for (int com : gauges)
            ports.add(com);

        Form1 w;
        w.show();

        QCOMPARE(w.windowTitle(), QStringLiteral("DEVAZ update-tool V1.7"));
        QCOMPARE(w.minimumSize(), QSize(308, 425));
        QCOMPARE(w.maximumSize(), QSize(308, 425));
        QStringList shown;
        for (int i = 0; i < w.ComboPort->count(); ++i)
            shown.append(w.ComboPort->itemText(i));
        QCOMPARE(shown, entries);
        QCOMPARE(w.List3, gauges);
        QCOMPARE(w.ComboPort->currentIndex(), entries.isEmpty() ? -1 : 0);
        QCOMPARE(w.Combospeed->count(), 3);
        QCOMPARE(w.Combospeed->itemText(0), QStringLiteral("4800"));
        QCOMPARE(w.Combospeed->itemText(2), QStringLiteral("38400"));
        QCOMPARE(w.Combospeed->currentText(), QStringLiteral("19200"));
        QCOMPARE(statesOf(w), States({true, false, false, true, true, false}));
        QCOMPARE(w.Label4->text(), QStringLiteral("0%"));
        QCOMPARE(w.List1->count(), 0);
        // The working controls lie outside the visible area.
        QVERIFY(!w.rect().intersects(w.txt_File->geometry()));
        QVERIFY(!w.rect().intersects(w.lbl_info->geometry()));
    }

    void fileChoice_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("picks"); // one click each; "" cancels the dialog
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<bool>("firmware");
        QTest::addColumn<bool>("eeprom");

        const QStringList files{"fw.Bin", "firmwarexbin", "conf.eep", "notes.txt"};
        QTest::newRow(".Bin") << files << QStringList{"fw.Bin"} << true
                              << "Flashfile geladen: fw.Bin" << true << false;
        QTest::newRow("xbin without a point") << files << QStringList{"firmwarexbin"} << true
                                              << "Flashfile geladen: firmwarexbin" << true << false;
        QTest::newRow(".eep") << files << QStringList{"conf.eep"} << true
                              << "Flashfile geladen: conf.eep" << false << true;
        QTest::newRow(".eep, then .Bin") << files << QStringList{"conf.eep", "fw.Bin"} << true
                                         << "Flashfile geladen: fw.Bin" << true << false;
        QTest::newRow("other ending") << files << QStringList{"notes.txt"} << true
                                      << "Flashfile geladen: notes.txt" << false << false;
        QTest::newRow("missing file") << files << QStringList{"gone.bin"} << false
                                      << "Datei: gone.bin existiert nicht" << false << false;
        QTest::newRow("cancel before any choice")
            << files << QStringList{""} << false << "Datei:  existiert nicht" << false << false;
        QTest::newRow("cancel after a choice") << files << QStringList{"conf.eep", ""} << true
                                               << "Flashfile geladen: conf.eep" << false << true;
    }

    void fileChoice()
    {
        QFETCH(QStringList, existing);
        QFETCH(QStringList, picks);
        QFETCH(bool, found);
        QFETCH(QString, logLine);
        QFETCH(bool, firmware);
        QFETCH(bool, eeprom);
        QTemporaryDir dir;
        for (const QString &name : existing)
            writeFile(dir, name, 10);
        SimulatedPorts ports;
        Form1 w;

        QString lastPick;
        for (const QString &pick : picks) {
            if (!pick.isEmpty())
                lastPick = dir.filePath(pick);
            choose(w, pick.isEmpty() ? QString() : dir.filePath(pick));
        }

        QCOMPARE(w.txt_File->text(), found ? lastPick : QStringLiteral("Datei existiert nicht"));
        QCOMPARE(fieldColour(w), found ? Blue : Red);
        QCOMPARE(logOf(w).size(), picks.size());
        QCOMPARE(logOf(w).last(), logLine);
        QCOMPARE(statesOf(w), States({true, firmware, eeprom, true, true, false}));
    }

    void uploadEndToEnd_data()
    {
        QTest::addColumn<UploadKind>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("firmware") << UploadKind::Firmware << "fw.bin";
        QTest::newRow("EEPROM") << UploadKind::Eeprom << "conf.eep";
    }

    void uploadEndToEnd()
    {
        QFETCH(UploadKind, kind);
        QFETCH(QString, name);
        const bool firmware = kind == UploadKind::Firmware;
        SimulatedPorts ports;
        GaugeSimulator &gauge = ports.add(3);
        const QString path = writeFile(m_files, name, 1000); // 8 blocks
        Form1 w;
        w.show();
        choose(w, path);
        PhaseRecorder phases(w);
        // A device search while the transfer holds the port is refused, not run.
        phases.onLine = [&w](const QString &line) {
            if (line == QLatin1String("sende Blocknummer:  2"))
                w.Command4_Click();
        };

        click(w, kind);

        const QStringList log = logOf(w);
        QCOMPARE(log.last(), QStringLiteral("Erfolgreich geflasht!"));
        QVERIFY(log.contains(QStringLiteral("Der Comport ist belegt: ein Vorgang läuft noch")));
        QVERIFY(!log.contains(QStringLiteral("Gerät suchen...")));
        // search, firmware, EEPROM, info, device search, lbl_info
        QCOMPARE(phases.at.value("öffne COM-Port"),
                 States({true, firmware, !firmware, true, true, false}));
        QCOMPARE(phases.at.value("auf Controllerreset warten..."),
                 States({false, false, false, true, true, true}));
        QCOMPARE(phases.at.value("sende Blocknummer:  1"),
                 States({false, false, false, true, true, false}));
        QCOMPARE(statesOf(w), States({true, firmware, !firmware, true, true, false}));
        QCOMPARE(w.Label4->text(), QStringLiteral("100 %"));
        QCOMPARE(w.ProgressBar1->value(), 100);

        QVERIFY(gauge.waitForImages(1, 5s));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = firmware ? gauge.lastFirmwareImage() : gauge.lastEepromImage();
        QCOMPARE(stored.left(1000), file.readAll());

        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY(window->windowTitle() != QLatin1String("CHANGELOG"));
    }

    void percentages_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QList<int>>("percents");
        QTest::newRow("8 blocks") << 8 << QList<int>{12, 25, 38, 50, 62, 75, 88, 100};
        QTest::newRow("10 blocks") << 10 << QList<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    }

    // Each percentage stands in Label4 and the bar while its block is on the way.
    void percentages()
    {
        QFETCH(int, blocks);
        QFETCH(QList<int>, percents);
        auto port = scriptedPortWith({3});
        ScriptedBootloader gauge;
        gauge.attach(*port);
        Form1 w(std::move(port));
        QStringList texts;
        QList<int> bars;
        gauge.onFrameStart = [&] {
            texts.append(w.Label4->text());
            bars.append(w.ProgressBar1->value());
        };
        choose(w, writeFile(m_files, QStringLiteral("p%1.bin").arg(blocks), blocks * 128 - 1));

        w.cmd_Upload_Click();

        QStringList expected;
        for (int p : percents)
            expected.append(PercentText(p));
        QCOMPARE(texts, expected);
        QCOMPARE(bars, percents);
        QCOMPARE(logOf(w).last(), QStringLiteral("Erfolgreich geflasht!"));
    }

    void resetNotDetected_data()
    {
        QTest::addColumn<UploadKind>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("firmware") << UploadKind::Firmware << "fw.bin";
        QTest::newRow("EEPROM") << UploadKind::Eeprom << "conf.eep";
    }

    // A failed transfer ends with the same states as a successful one.
    void resetNotDetected()
    {
        QFETCH(UploadKind, kind);
        QFETCH(QString, name);
        const bool firmware = kind == UploadKind::Firmware;
        auto port = scriptedPortWith({3});
        ScriptedPort *wire = port.get();
        ScriptedBootloader gauge;
        gauge.answersEntry = false;
        gauge.attach(*port);
        Form1 w(std::move(port));
        choose(w, writeFile(m_files, name, 300));

        click(w, kind);

        QCOMPARE(logOf(w).last(), QStringLiteral("Reset nicht erkannt!"));
        QCOMPARE(statesOf(w), States({true, firmware, !firmware, true, true, false}));
        QCOMPARE(wire->writes().size(), 600);
        QVERIFY(!wire->isOpen());
    }

    void missingFileAfterChoosing_data() { resetNotDetected_data(); }

    void missingFileAfterChoosing()
    {
        QFETCH(UploadKind, kind);
        QFETCH(QString, name);
        auto port = scriptedPortWith({3});
        ScriptedPort *wire = port.get();
        Form1 w(std::move(port));
        const QString path = writeFile(m_files, name, 300);
        choose(w, path);
        QVERIFY(QFile::remove(path));

        click(w, kind);

        QCOMPARE(w.txt_File->text(), QStringLiteral("Datei existiert nicht"));
        QCOMPARE(fieldColour(w), Red);
        QCOMPARE(logOf(w).mid(1),
                 QStringList({"öffne COM-Port", "Datei: " + path + " existiert nicht"}));
        QCOMPARE(statesOf(w), States({true, false, false, true, true, false}));
        QVERIFY(wire->writes().isEmpty());
        QVERIFY(!wire->isOpen());
        QCOMPARE(wire->openedPorts().last(), 3);

        // Choosing the file again makes its button usable again.
        writeFile(m_files, name, 300);
        choose(w, path);
        QCOMPARE(w.cmd_Upload->isEnabled() || w.Command2->isEnabled(), true);
    }

    void portFromEntry_data()
    {
        QTest::addColumn<int>("com");
        QTest::addColumn<int>("speedIndex");
        QTest::addColumn<QString>("settings");
        QTest::newRow("port 3 at 4800") << 3 << 0 << "4800,n,8,1";
        QTest::newRow("port 12 at 38400") << 12 << 2 << "38400,n,8,1";
    }

    void portFromEntry()
    {
        QFETCH(int, com);
        QFETCH(int, speedIndex);
        QFETCH(QString, settings);
        auto port = scriptedPortWith({3, 12});
        ScriptedPort *wire = port.get();
        ScriptedBootloader gauge;
        gauge.attach(*port);
        Form1 w(std::move(port));
        w.ComboPort->setCurrentIndex(w.ComboPort->findText(PortDisplayEntry(com)));
        w.Combospeed->setCurrentIndex(speedIndex);
        choose(w, writeFile(m_files, QStringLiteral("port.bin"), 10));

        w.cmd_Upload_Click();

        QCOMPARE(wire->openedPorts().last(), com);
        QCOMPARE(wire->openedSettings().last(), settings);
        QCOMPARE(logOf(w).last(), QStringLiteral("Erfolgreich geflasht!"));
    }

    void refusedBeforeTransfer_data()
    {
        QTest::addColumn<QList<int>>("openable");
        QTest::addColumn<QString>("line");
        QTest::newRow("no port chosen") << QList<int>() << LinkTexts::noPortChosen();
        QTest::newRow("port cannot be opened")
            << QList<int>{3} << QStringLiteral("Fehler beim öffnen des Comports");
    }

    // No usable port: a log line, nothing sent, the buttons as they were before the click.
    void refusedBeforeTransfer()
    {
        QFETCH(QList<int>, openable);
        QFETCH(QString, line);
        auto port = scriptedPortWith(openable);
        ScriptedPort *wire = port.get();
        Form1 w(std::move(port));
        wire->unopenable.insert(3); // taken by another program after the scan
        choose(w, writeFile(m_files, QStringLiteral("refused.bin"), 10));
        const States before = statesOf(w);

        w.cmd_Upload_Click();

        QCOMPARE(logOf(w).last(), line);
        QCOMPARE(statesOf(w), before);
        QVERIFY(wire->writes().isEmpty());
        QVERIFY(!wire->isOpen());
    }

    void deviceSearch_data()
    {
        QTest::addColumn<QList<int>>("silent");
        QTest::addColumn<int>("gauge"); // 0: none
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("selected");
        QTest::newRow("gauge on the second port")
            << QList<int>{1, 5} << 3
            << QStringList{"Gerät suchen...", "Port 1 Gerät nicht gefunden",
                           "Port 3 Gerät gefunden!",
                           "auf dem Gerät installierte Firmware Version: V3.01"}
            << 1;
        QTest::newRow("no gauge") << QList<int>{2, 4} << 0
                                  << QStringList{"Gerät suchen...", "Port 2 Gerät nicht gefunden",
                                                 "Port 4 Gerät nicht gefunden"}
                                  << 0;
    }

    void deviceSearch()
    {
        QFETCH(QList<int>, silent);
        QFETCH(int, gauge);
        QFETCH(QStringList, log);
        QFETCH(int, selected);
        SimulatedPorts ports;
        GaugeOptions quiet;
        quiet.silent = true;
        for (int com : silent)
            ports.add(com, quiet);
        GaugeOptions answering;
        answering.version = QStringLiteral("V3.01");
        if (gauge)
            ports.add(gauge, answering);
        Form1 w;

        w.Command4_Click();

        QCOMPARE(logOf(w), log);
        QCOMPARE(w.ComboPort->currentIndex(), selected);
        QVERIFY(w.Text1.isEmpty() || !gauge);
    }

    // Closing the window during a transfer cancels it, tells the gauge and closes the port.
    void closeDuringTransfer()
    {
        auto port = scriptedPortWith({3});
        ScriptedPort *wire = port.get();
        ScriptedBootloader gauge;
        gauge.attach(*port);
        Form1 w(std::move(port));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        gauge.onFrameStart = [&] {
            if (gauge.frames == 1)
                w.close();
        };
        choose(w, writeFile(m_files, QStringLiteral("close.bin"), 1000));

        w.cmd_Upload_Click();

        QVERIFY(w.isVisible()); // never closed while its own code runs
        QCOMPARE(logOf(w).last(), QStringLiteral("Vorgang abgebrochen, Comport geschlossen"));
        QCOMPARE(wire->writes().last().bytes, QByteArray(1, 0x18));
        QVERIFY(!wire->isOpen());
        QTRY_VERIFY(!w.isVisible());
    }
};

int main(int argc, char *argv[])
{
    // Keeps the counted waits (30 s for the reset) short against the simulator.
    qputenv("IVEVA_POLL_US", "5");
    QApplication app(argc, argv);
    TestForm1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form1.moc"
