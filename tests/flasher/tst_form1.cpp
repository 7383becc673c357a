// The update window, offscreen, against simulated gauges, scripted ports and a local update server.

#include "FlasherTestKit.h"
#include "TestContext.h"
#include "TestHttpServer.h"
#include "devicelink/FlashImage.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortScan.h"
#include "devicelink/ui/LogListMenu.h"
#include "flasher/ui/Form1.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkProxy>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <future>

using namespace devicelink;
using namespace flasher;
using namespace sim;

using namespace std::chrono_literals;

namespace {

template <typename T = QPushButton> T *control(const Form1 &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

// cmd_Search_File, cmd_Upload, Command2, Command3, Command4 enabled; lbl_info shown.
using States = QList<bool>;

States statesOf(const Form1 &w)
{
    States states;
    for (const char *name : {"cmd_Search_File", "cmd_Upload", "Command2", "Command3", "Command4"})
        states.append(control(w, name)->isEnabled());
    return states << !control<QLabel>(w, "lbl_info")->isHidden();
}

// The lines of a list or the entries of a combo box.
QStringList texts(const QAbstractItemModel *model)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, 0).data().toString());
    return texts;
}

QStringList logOf(const Form1 &w)
{
    return texts(control<QListWidget>(w, "List1")->model());
}

QStringList entriesOf(const Form1 &w)
{
    return texts(control<QComboBox>(w, "ComboPort")->model());
}

// Real ports in the simulators' folder, at the tests' poll time.
PortFactory portsIn(const SimulatedPorts &ports)
{
    shell::RunContext context = testContext();
    context.link.portDir = ports.dir();
    return testComPorts(context);
}

// Waits for the window's job (scan, search, upload, firmware information) to end.
bool settled(const Form1 &w)
{
    return QTest::qWaitFor([&w] { return !w.busy(); }, 60'000);
}

// The file dialog answers `path` ("" cancels).
void answerFileDialog(Form1 &w, const QString &path)
{
    w.setOpenFileDialog([path](QWidget *, const QString &, const Form1::Chosen &chosen) {
        chosen(path.isEmpty() ? std::nullopt : std::optional<QString>(path));
    });
}

// Answers the file dialog with `path` ("" cancels) and clicks "Datei öffnen".
void choose(Form1 &w, const QString &path)
{
    answerFileDialog(w, path);
    control(w, "cmd_Search_File")->click();
}

void click(Form1 &w, UploadKind kind)
{
    control(w, kind == UploadKind::Firmware ? "cmd_Upload" : "Command2")->click();
}

const QColor Blue(53, 94, 234);
const QColor Red(255, 0, 0);
constexpr auto Fw = UploadKind::Firmware;
constexpr auto Ee = UploadKind::Eeprom;

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void startUpAndSearch_data()
    {
        QTest::addColumn<QList<int>>("silent");
        QTest::addColumn<QList<int>>("gauges");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("selected");
        const QString notFound = "Port %1 Gerät nicht gefunden";
        QTest::newRow("gauge on the second port")
            << QList<int>{1, 12} << QList<int>{3}
            << QStringList{"Gerät suchen...", notFound.arg(1), "Port 3 Gerät gefunden!",
                           "auf dem Gerät installierte Firmware Version: V3.01"}
            << 1;
        QTest::newRow("no ports") << QList<int>() << QList<int>() << QStringList{"Gerät suchen..."}
                                  << -1;
    }

    // Start-up lists the ports and selects the first; "Gerät suchen" selects the gauge's.
    void startUpAndSearch()
    {
        QFETCH(QList<int>, silent);
        QFETCH(QList<int>, gauges);
        SimulatedPorts ports;
        for (int com : silent)
            ports.add(com, GaugeOptions{.silent = true});
        for (int com : gauges)
            ports.add(com, GaugeOptions{.version = "V3.01"});
        QList<int> listed = silent + gauges;
        std::sort(listed.begin(), listed.end());
        QStringList entries;
        for (int com : listed)
            entries.append(PortDisplayEntry(com));

        Form1 w(portsIn(ports));
        QVERIFY(settled(w));
        QCOMPARE(entriesOf(w), entries);
        QCOMPARE(control<QComboBox>(w, "ComboPort")->currentIndex(), entries.isEmpty() ? -1 : 0);
        QCOMPARE(statesOf(w), States({true, false, false, true, true, false}));
        // working data, not shown
        QVERIFY(!w.rect().intersects(control<QLineEdit>(w, "txt_File")->geometry()));

        control(w, "Command4")->click();
        QVERIFY(settled(w));
        QTEST(logOf(w), "log");
        QTEST(control<QComboBox>(w, "ComboPort")->currentIndex(), "selected");
    }

    // Opening the port list rescans first and keeps the chosen port.
    void rescanOnOpeningPortList()
    {
        SimulatedPorts ports;
        ports.add(3);
        Form1 w(portsIn(ports));
        w.show();
        QVERIFY(settled(w));
        ports.add(1);
        auto *list = control<QComboBox>(w, "ComboPort");
        list->showPopup();
        QVERIFY(w.busy());
        QVERIFY(settled(w));
        QCOMPARE(entriesOf(w), QStringList({PortDisplayEntry(1), PortDisplayEntry(3)}));
        QCOMPARE(list->currentText(), PortDisplayEntry(3));
        QTRY_VERIFY(list->view()->isVisible());
    }

    void fileChoice_data()
    {
        QTest::addColumn<QStringList>("picks"); // one click each; "" cancels the dialog
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<States>("buttons"); // firmware, EEPROM
        auto row = [](const char *name, const QStringList &picks, const QString &line, bool fw,
                      bool ee) {
            QTest::newRow(name) << picks << line << States{fw, ee};
        };
        row(".Bin", {"fw.Bin"}, "Flashfile geladen: fw.Bin", true, false);
        row("xbin without a point", {"firmwarexbin"}, "Flashfile geladen: firmwarexbin", true,
            false);
        row(".eep", {"conf.eep"}, "Flashfile geladen: conf.eep", false, true);
        row("other ending", {"notes.txt"}, "Flashfile geladen: notes.txt", false, false);
        row("missing file", {"gone.bin"}, "Datei: gone.bin existiert nicht", false, false);
        row("cancel before any choice", {""}, "Datei:  existiert nicht", false, false);
        row("cancel after a choice", {"conf.eep", ""}, "Flashfile geladen: conf.eep", false, true);
    }

    void fileChoice()
    {
        QFETCH(QStringList, picks);
        QFETCH(QString, logLine);
        QFETCH(States, buttons);
        QTemporaryDir dir;
        for (const char *name : {"fw.Bin", "firmwarexbin", "conf.eep", "notes.txt"})
            writeFile(dir, name, 10);
        SimulatedPorts ports;
        Form1 w(portsIn(ports));
        QVERIFY(settled(w));

        for (const QString &pick : picks)
            choose(w, pick.isEmpty() ? QString() : dir.filePath(pick));

        const bool found = !logLine.endsWith("existiert nicht");
        const QLineEdit *field = control<QLineEdit>(w, "txt_File");
        QCOMPARE(field->text(),
                 found ? dir.filePath(picks.first()) : QStringLiteral("Datei existiert nicht"));
        QCOMPARE(field->palette().color(QPalette::Text), found ? Blue : Red);
        QCOMPARE(logOf(w).size(), picks.size());
        QCOMPARE(logOf(w).last(), logLine);
        QCOMPARE(statesOf(w), States({true, buttons[0], buttons[1], true, true, false}));
    }

    void uploadEndToEnd_data()
    {
        QTest::addColumn<UploadKind>("kind");
        QTest::newRow("firmware") << Fw;
        QTest::newRow("EEPROM") << Ee;
    }

    // The button phases, the percentages of 8 blocks (the window may skip some that came
    // together), and a device search refused while the transfer holds the port.
    void uploadEndToEnd()
    {
        QFETCH(UploadKind, kind);
        const bool fw = kind == Fw;
        SimulatedPorts ports;
        GaugeSimulator &gauge = ports.add(3);
        const QString path = writeFile(m_files, fw ? "fw.bin" : "conf.eep", 1000);
        Form1 w(portsIn(ports));
        QVERIFY(settled(w));
        choose(w, path);
        QMap<QString, States> phases; // the states when each line first appeared
        QStringList percents;
        connect(control<QProgressBar>(w, "ProgressBar1"), &QProgressBar::valueChanged, &w,
                [&](int value) {
                    percents.append(control<QLabel>(w, "Label4")->text() + "/" +
                                    QString::number(value));
                });
        QListWidget *list = control<QListWidget>(w, "List1");
        connect(list->model(), &QAbstractItemModel::rowsInserted, &w,
                [&](const QModelIndex &, int first, int last) {
                    for (int row = first; row <= last; ++row) {
                        const QString line = list->item(row)->text();
                        phases.insert(line, phases.value(line, statesOf(w)));
                        if (line == QLatin1String("sende Blocknummer:  2")) {
                            control(w, "Command4")->click();
                            control<QComboBox>(w, "ComboPort")->showPopup(); // no rescan now
                        }
                    }
                });

        click(w, kind);
        QVERIFY(settled(w));

        // The refusal lands among or after the transfer's lines, as they came in.
        QStringList log = logOf(w);
        QCOMPARE(log.removeAll(QStringLiteral("Der Comport ist belegt: ein Vorgang läuft noch")),
                 1);
        QCOMPARE(log.last(), QStringLiteral("Erfolgreich geflasht!"));
        QVERIFY(!log.contains(QStringLiteral("Gerät suchen...")));
        QCOMPARE(entriesOf(w), QStringList{PortDisplayEntry(3)});
        QCOMPARE(phases.value("öffne COM-Port"), States({true, fw, !fw, true, true, false}));
        QCOMPARE(phases.value("auf Controllerreset warten..."),
                 States({false, false, false, true, true, true}));
        QCOMPARE(phases.value("sende Blocknummer:  1"),
                 States({false, false, false, true, true, false}));
        QCOMPARE(statesOf(w), States({true, fw, !fw, true, true, false}));
        // In order, none made up, ending at 100 %.
        const QStringList blockPercents{"12 %/12", "25 %/25", "38 %/38", "50 %/50",
                                        "62 %/62", "75 %/75", "88 %/88", "100 %/100"};
        QVERIFY(!percents.isEmpty() && blockPercents.contains(percents.first()));
        QCOMPARE(percents.last(), blockPercents.last());
        for (qsizetype i = 1; i < percents.size(); ++i)
            QVERIFY(blockPercents.indexOf(percents[i - 1]) < blockPercents.indexOf(percents[i]));
        QVERIFY(gauge.waitForImages(1, 5s));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE((fw ? gauge.lastFirmwareImage() : gauge.lastEepromImage()).left(1000),
                 file.readAll());
    }

    void scriptedUpload_data()
    {
        QTest::addColumn<UploadKind>("kind");
        QTest::addColumn<int>("com");       // the entry chosen; 0: no port at start-up
        QTest::addColumn<QString>("fault"); // "no reset", "file gone", "port taken"
        QTest::addColumn<QString>("line");
        QTest::addColumn<States>("after"); // empty: as before the click
        const States eeDone{true, false, true, true, true, false};
        const States gone{true, false, false, true, true, false};
        auto row = [](const char *name, UploadKind kind, int com, const char *fault,
                      const QString &line, const States &after) {
            QTest::newRow(name) << kind << com << QString(fault) << line << after;
        };
        // A failed transfer ends with the same states as a successful one.
        row("port 12, reset not detected", Ee, 12, "no reset", "Reset nicht erkannt!", eeDone);
        row("file missing after choosing", Fw, 3, "file gone", "Datei: @ existiert nicht", gone);
        // No usable port: a log line, nothing sent, the buttons as they were before the click.
        row("no port chosen", Fw, 0, "", LinkTexts::noPortChosen(), {});
        row("port cannot be opened", Fw, 3, "port taken", "Fehler beim öffnen des Comports", {});
    }

    // Uploads on a scripted port at 38400: the port from the entry, and how each one ends.
    void scriptedUpload()
    {
        QFETCH(UploadKind, kind);
        QFETCH(int, com);
        QFETCH(QString, fault);
        QFETCH(QString, line);
        QFETCH(States, after);
        ScriptedBootloader gauge(com ? QList<int>{3, 12} : QList<int>());
        gauge.answersEntry = fault != "no reset";
        ScriptedPort *wire = gauge.wire;
        Form1 w(wire->factory());
        QVERIFY(settled(w));
        QComboBox *portList = control<QComboBox>(w, "ComboPort");
        portList->setCurrentIndex(portList->findText(PortDisplayEntry(com)));
        control<QComboBox>(w, "Combospeed")->setCurrentIndex(2);
        const QString path = writeFile(m_files, kind == Fw ? "f.bin" : "f.eep", 300);
        choose(w, path);
        const States before = statesOf(w);
        const qsizetype opens = wire->openedPorts().size();
        if (fault == "port taken")
            wire->unopenable.insert(com);
        if (fault == "file gone")
            QVERIFY(QFile::remove(path));

        click(w, kind);
        QVERIFY(settled(w));

        QCOMPARE(logOf(w).last(), line.replace("@", path));
        QCOMPARE(statesOf(w), after.isEmpty() ? before : after);
        QVERIFY(!wire->isOpen());
        QCOMPARE(wire->writes().isEmpty(), fault == "file gone" || after.isEmpty());
        // Each attempt to open is on the chosen port at the chosen speed.
        QCOMPARE(wire->openedPorts().mid(opens), QList<int>(com ? 1 : 0, com));
        QCOMPARE(wire->openedSettings().mid(opens), QStringList(com ? 1 : 0, "38400,n,8,1"));
    }

    void closeDuringJob_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("holdAt");       // the job that waits at its port until the close
        QTest::addColumn<QByteArray>("reply"); // the gauge's answer to every write
        QTest::addColumn<bool>("asked");       // a question is open, never answered by the user
        QTest::newRow("scan") << QStringList() << 1 << QByteArray() << false;
        QTest::newRow("search") << QStringList{"Command4"} << 2 << QByteArray() << false;
        QTest::newRow("upload") << QStringList{"cmd_Search_File", "cmd_Upload"} << 2 << QByteArray()
                                << false;
        QTest::newRow("question") << QStringList{"cmd_Search_File", "Command3"} << 0
                                  << QByteArray("dV2.16e") << true;
    }

    // Closing the window during a job cancels it, answers an open question with No, closes
    // the port, and closes the window once the job has ended.
    void closeDuringJob()
    {
        QFETCH(QStringList, clicks);
        QFETCH(int, holdAt);
        QFETCH(QByteArray, reply);
        QFETCH(bool, asked);
        ScriptedBootloader gauge({3});
        gauge.wire->onWrite = [reply](ScriptedPort &p, const QByteArray &) {
            p.answerAfter(2, reply); // and never the reset
        };
        std::atomic<int> jobs = 0;
        std::promise<void> release;
        const std::shared_future<void> released = release.get_future().share();
        Form1 w([&jobs, holdAt, released, ports = gauge.wire->factory()] {
            if (++jobs == holdAt)
                released.wait();
            return ports();
        });
        w.show();
        bool questionOpen = false;
        w.setYesNoQuestion(
            [&](QWidget *, const QString &, const QString &, auto) { questionOpen = true; });
        answerFileDialog(w, writeFile(m_files, QStringLiteral("c.bin"), 300));
        for (const QString &button : clicks) {
            QVERIFY(settled(w));
            control(w, qPrintable(button))->click();
        }
        QVERIFY(QTest::qWaitFor([&] { return jobs >= holdAt && questionOpen == asked; }));
        w.close();
        release.set_value();

        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 20'000);
        QVERIFY(!w.busy());
        QVERIFY(!gauge.wire->isOpen());
        QCOMPARE(questionOpen, asked);
    }

    // "Firmware-Info" on the chosen port, with the window's questions and save dialog, ends
    // with the buttons of the common ending; "Log speichern…" then writes the whole list.
    void firmwareInfo()
    {
        SimulatedPorts ports;
        GaugeSimulator &gauge = ports.add(5, GaugeOptions{.resetDelay = 50ms});
        QByteArray image(300, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char((i * 53 + 29) % 256);
        TestHttpServer server;
        server.route("/DEVAZ/firmware.txt").body = "V2.20,/files/fw220.bin,fw220.bin\n";
        server.route("/files/fw220.bin").body = image;
        server.route("/DEVAZ/lastfw.bin").body = image;
        const QString copyPath = m_files.filePath(QStringLiteral("copy.bin"));
        const QString downloads = m_files.filePath(QStringLiteral("downloads"));
        QDir().mkpath(downloads);

        Form1 w(portsIn(ports));
        QVERIFY(settled(w));
        choose(w, writeFile(m_files, QStringLiteral("settings.eep"), 21));
        QStringList asked;
        w.setYesNoQuestion([&](QWidget *, const QString &title, const QString &, auto answer) {
            asked.append(title);
            answer(true);
        });
        QString preset;
        w.setSaveFileDialog([&](QWidget *, const QString &name, const Form1::Chosen &chosen) {
            preset = name;
            chosen(copyPath);
        });
        w.setUpdateUrl(server.baseUrl().toString());
        w.setDownloadFolder(downloads);

        control(w, "Command3")->click();
        QVERIFY(settled(w));

        QCOMPARE(statesOf(w), States({true, true, false, true, true, false}));
        QCOMPARE(QDir(downloads).entryList(QDir::Files), QStringList());
        QCOMPARE(asked,
                 QStringList({"flasher suchen?", "flasher runterladen?", "flasher einspielen?"}));
        QCOMPARE(preset, QStringLiteral("fw220.bin"));
        QVERIFY(QFile::exists(copyPath));
        QVERIFY(gauge.waitForImages(1, 5s));
        QCOMPARE(gauge.lastFirmwareImage(), FlashImage(image).bytes());
        QCOMPARE(logOf(w).last(), QStringLiteral("und spielen Sie diese auf das Gerät!"));

        // The header, then every line of the list, in UTF-8.
        const auto *logMenu = control<QListWidget>(w, "List1")->findChild<LogListMenu *>();
        QVERIFY(logMenu);
        const QString logPath = m_files.filePath(QStringLiteral("saved.log"));
        QVERIFY(logMenu->saveTo(logPath, nullptr));
        QFile saved(logPath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QStringList savedLines = QString::fromUtf8(saved.readAll()).split(QLatin1Char('\n'));
        QVERIFY(savedLines.takeFirst().startsWith(QStringLiteral("tst_flasherwindow 9.9, ")));
        QCOMPARE(savedLines, logOf(w) << QString());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("9.9"));
    TestForm1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form1.moc"
