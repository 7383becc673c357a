// The update window, offscreen, against simulated gauges, scripted ports and a local update server.

#include "FlasherTestKit.h"
#include "TabChain.h"
#include "TestHttpServer.h"
#include "devicelink/LinkHints.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortScan.h"
#include "devicelink/WireTrace.h"
#include "devicelink/ui/LogListMenu.h"
#include "flasher/ui/UpdateWindow.h"

#include <QNetworkProxy>
#include <QtWidgets>

using namespace devicelink;
using namespace flasher;
using namespace sim;

using namespace std::chrono_literals;

namespace {

template <typename T = QPushButton> T *control(const UpdateWindow &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

// cmd_Search_File, cmd_Upload, Command2, Command3, Command4 enabled; lbl_info shown.
using States = QList<bool>;

States statesOf(const UpdateWindow &w)
{
    States states;
    for (const char *name : {"cmd_Search_File", "cmd_Upload", "Command2", "Command3", "Command4"})
        states.append(control(w, name)->isEnabled());
    return states << !control<QLabel>(w, "lbl_info")->isHidden();
}

QStringList texts(const QAbstractItemModel *model)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, 0).data().toString());
    return texts;
}

QStringList logOf(const UpdateWindow &w)
{
    return texts(control<QListWidget>(w, "List1")->model());
}

QStringList entriesOf(const UpdateWindow &w)
{
    return texts(control<QComboBox>(w, "ComboPort")->model());
}

bool settled(const UpdateWindow &w)
{
    return QTest::qWaitFor([&w] { return !w.busy(); }, 60'000);
}

// The file dialog answers `path` ("" cancels); unless told otherwise, "Datei öffnen" is clicked.
void choose(UpdateWindow &w, const QString &path, bool click = true)
{
    w.setOpenFileDialog([path](QWidget *, const QString &, const UpdateWindow::Chosen &chosen) {
        chosen(path.isEmpty() ? std::nullopt : std::optional<QString>(path));
    });
    if (click)
        control(w, "cmd_Search_File")->click();
}

} // namespace

class TestUpdateWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    // Start-up lists the ports and selects the first; opening the list rescans first and keeps
    // the chosen port; "Gerät suchen" selects the gauge's. Tab walks the window from the top.
    void portList()
    {
        SimulatedPorts ports;
        ports.add(12, GaugeOptions{.silent = true});
        ports.add(3, GaugeOptions{.version = "V3.01"});
        UpdateWindow w(testComPorts());
        w.show();
        QVERIFY(settled(w));
        auto *list = control<QComboBox>(w, "ComboPort");
        QCOMPARE(entriesOf(w), QStringList({PortDisplayEntry(3), PortDisplayEntry(12)}));
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(statesOf(w), States({true, false, false, true, true, false}));
        const QLabel *hint = control<QLabel>(w, "lbl_info"); // its place inside the window
        QVERIFY(w.rect().contains(QRect(hint->mapTo(&w, QPoint()), hint->size())));
        QCOMPARE(tabChain(&w), // from the top; every control named
                 QStringList({"cmd_Search_File", "cmd_Upload", "Command2", "ComboPort",
                              "Combospeed", "Command3", "Command4", "List1"}));

        ports.add(1, GaugeOptions{.silent = true});
        list->showPopup();
        QVERIFY(w.busy() && settled(w));
        QCOMPARE(entriesOf(w),
                 QStringList({PortDisplayEntry(1), PortDisplayEntry(3), PortDisplayEntry(12)}));
        QCOMPARE(list->currentText(), PortDisplayEntry(3));
        QTRY_VERIFY(list->view()->isVisible());
        control(w, "Command4")->click();
        QVERIFY(settled(w));
        QCOMPARE(logOf(w), QStringList({"Gerät suchen...", "Port 1 Gerät nicht gefunden",
                                        "Port 3 Gerät gefunden!",
                                        "auf dem Gerät installierte Firmware Version: V3.01"}));
        QCOMPARE(list->currentIndex(), 1);
    }

    void fileChoice_data()
    {
        QTest::addColumn<QStringList>("picks"); // one click each; "" cancels the dialog
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<QString>("field");  // "@" is the files' folder
        QTest::addColumn<States>("buttons"); // firmware, EEPROM
        const auto row = [](const char *tag, const QStringList &picks, const QString &line,
                            const QString &field, bool fw, bool ee) {
            QTest::newRow(tag) << picks << line << field << States{fw, ee};
        };
        row(".Bin", {"fw.Bin"}, "Flashfile geladen: fw.Bin", "@/fw.Bin", 1, 0);
        row("xbin", {"firmwarexbin"}, "Flashfile geladen: firmwarexbin", "@/firmwarexbin", 1, 0);
        row(".txt", {"notes.txt"}, "Flashfile geladen: notes.txt", "@/notes.txt", 0, 0);
        row(".eep, cancel", {"conf.eep", ""}, "Flashfile geladen: conf.eep", "@/conf.eep", 0, 1);
        row("gone", {"gone.bin"}, "Datei: gone.bin existiert nicht", "Datei existiert nicht", 0, 0);
        row("cancel first", {""}, "Datei:  existiert nicht", "Datei existiert nicht", 0, 0);
    }

    void fileChoice()
    {
        QFETCH(QStringList, picks);
        QFETCH(QString, field);
        QFETCH(States, buttons);
        for (const char *name : {"fw.Bin", "firmwarexbin", "conf.eep", "notes.txt"})
            writeFile(m_files, name, 10);
        SimulatedPorts ports;
        UpdateWindow w(testComPorts());
        QVERIFY(settled(w));
        for (const QString &pick : picks)
            choose(w, pick.isEmpty() ? QString() : m_files.filePath(pick));

        QCOMPARE(w.chosenFile(), field.replace('@', m_files.path()));
        QCOMPARE(logOf(w).size(), picks.size());
        QTEST(logOf(w).last(), "logLine");
        QCOMPARE(statesOf(w), States({true, buttons[0], buttons[1], true, true, false}));
    }

    // The button phases, the progress shown, and a device search and a rescan refused while the
    // transfer holds the port.
    void uploadEndToEnd()
    {
        SimulatedPorts ports;
        GaugeSimulator &gauge = ports.add(3);
        UpdateWindow w(testComPorts());
        QVERIFY(settled(w));
        choose(w, writeFile(m_files, "fw.bin", 1000));
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

        control(w, "cmd_Upload")->click();
        QVERIFY(settled(w));

        // The refusal lands among or after the transfer's lines, as they came in.
        QStringList log = logOf(w);
        QCOMPARE(log.removeAll("Der Comport ist belegt: ein Vorgang läuft noch"), 1);
        QCOMPARE(log.last(), QStringLiteral("Erfolgreich geflasht!"));
        QVERIFY(!log.contains(QStringLiteral("Gerät suchen...")));
        QCOMPARE(entriesOf(w), QStringList{PortDisplayEntry(3)});
        QCOMPARE(phases.value("öffne COM-Port"), States({true, true, false, true, true, false}));
        QCOMPARE(phases.value("auf Controllerreset warten..."),
                 States({false, false, false, true, true, true}));
        QCOMPARE(phases.value("sende Blocknummer:  1"),
                 States({false, false, false, true, true, false}));
        // The transfer's test pins the percentages; here the label and the bar agree up to 100 %.
        for (const QString &percent : percents)
            QCOMPARE(percent.section(" %/", 0, 0), percent.section(" %/", 1));
        QCOMPARE(percents.value(percents.size() - 1), QStringLiteral("100 %/100"));
        QVERIFY(gauge.waitForImages(1, 5s));
        QCOMPARE(gauge.lastFirmwareImage().left(1000), filePattern(1000));
    }

    void scriptedUpload_data()
    {
        QTest::addColumn<QList<int>>("openable");
        QTest::addColumn<int>("com");  // the entry chosen
        QTest::addColumn<int>("gone"); // fails to open once the ports are listed
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<int>>("opened");
        using L = QList<int>;
        // The window's log ends with what to check.
        QTest::newRow("no reset") << L{3, 12} << 12 << 0 << "Hinweis: " + LinkHints::noReset()
                                  << L{12};
        QTest::newRow("no port chosen") << L() << 0 << 0 << LinkTexts::noPortChosen() << L();
        QTest::newRow("port gone") << L{3, 12} << 3 << 3 << LinkTexts::openFailed() << L{3};
    }

    // An EEPROM upload on a scripted port at 38400: the port from the entry, each attempt to
    // open on it at that speed, the port closed and the buttons as before however it ends.
    void scriptedUpload()
    {
        QFETCH(QList<int>, openable);
        QFETCH(int, com);
        QFETCH(int, gone);
        QFETCH(QList<int>, opened);
        ScriptedPort wire; // a gauge that never resets
        wire.openOnly(openable);
        UpdateWindow w(wire.factory());
        QVERIFY(settled(w));
        QComboBox *portList = control<QComboBox>(w, "ComboPort");
        portList->setCurrentIndex(portList->findText(PortDisplayEntry(com)));
        control<QComboBox>(w, "Combospeed")->setCurrentIndex(2);
        choose(w, writeFile(m_files, "f.eep", 300));
        const States before = statesOf(w);
        const qsizetype opens = wire.openedPorts().size();
        wire.openErrors.insert(gone, SerialPort::OpenError::Missing);

        control(w, "Command2")->click();
        QVERIFY(settled(w));

        QTEST(logOf(w).last(), "line");
        QCOMPARE(statesOf(w), before);
        QVERIFY(!wire.isOpen());
        QCOMPARE(wire.openedPorts().mid(opens), opened);
        QCOMPARE(wire.openedSettings().mid(opens), QStringList(opened.size(), "38400,n,8,1"));
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
        ScriptedPort wire; // answers every write with `reply`, never the reset
        wire.openOnly({3});
        wire.onWrite = [reply](auto &p, auto &) { p.answerAfter(2, reply); };
        HeldPorts held(wire.factory(), holdAt);
        UpdateWindow w(held.factory);
        w.show();
        bool questionOpen = false;
        w.setYesNoQuestion(
            [&](QWidget *, const QString &, const QString &, auto) { questionOpen = true; });
        choose(w, writeFile(m_files, QStringLiteral("c.bin"), 300), false);
        for (const QString &button : clicks) {
            QVERIFY(settled(w));
            control(w, qPrintable(button))->click();
        }
        QVERIFY(QTest::qWaitFor([&] { return held.opened >= holdAt && questionOpen == asked; }));
        w.close();
        held.release();

        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 20'000);
        QVERIFY(!w.busy());
        QVERIFY(!wire.isOpen());
        QCOMPARE(questionOpen, asked);
    }

    // "Firmware-Info" on the chosen port, with the window's questions and save dialog, ends
    // with the buttons of the common ending; "Log speichern…" then writes the whole list.
    void firmwareInfo()
    {
        SimulatedPorts ports;
        GaugeSimulator &gauge = ports.add(5, GaugeOptions{.resetDelay = 50ms});
        const QByteArray image = filePattern(300);
        TestHttpServer server;
        server.route("/DEVAZ/firmware.txt").body = "V2.20,/files/fw220.bin,fw220.bin\n";
        server.route("/files/fw220.bin").body = image;
        server.route("/DEVAZ/lastfw.bin").body = image;
        const QString copyPath = m_files.filePath(QStringLiteral("copy.bin"));
        const QString downloads = m_files.filePath(QStringLiteral("downloads"));
        QDir().mkpath(downloads);

        shell::RunContext context = testContext();
        const QString tracePath = m_files.filePath(QStringLiteral("trace/trace.log"));
        context.link.trace = WireTrace::toFile(tracePath);
        LogListMenu::offerWireTrace(context.link.trace);
        UpdateWindow w(testComPorts(context));
        QVERIFY(settled(w));
        choose(w, writeFile(m_files, QStringLiteral("settings.eep"), 21));
        QStringList asked;
        w.setYesNoQuestion([&](QWidget *, const QString &title, const QString &, auto answer) {
            asked.append(title);
            answer(true);
        });
        QString preset;
        w.setSaveFileDialog(
            [&](QWidget *, const QString &name, const UpdateWindow::Chosen &chosen) {
                preset = name;
                chosen(copyPath);
            });
        w.setDownloadFolder(downloads);
        // A server address that is none stops the command before the gauge is asked.
        w.setUpdateUrl(QStringLiteral("http://update server"));
        control(w, "Command3")->click();
        QVERIFY(settled(w));
        QCOMPARE(logOf(w).last(), QStringLiteral("Ungültige Adresse des Update-Servers"));
        QVERIFY(asked.isEmpty() && control(w, "Command3")->isEnabled());

        // "Verbindung protokollieren" traces the exchange into the file the log names.
        QListWidget *list = control<QListWidget>(w, "List1");
        emit list->customContextMenuRequested({});
        const QList<QAction *> entries = list->findChild<QMenu *>()->actions();
        QVERIFY(entries.last()->isCheckable() && !entries.last()->isChecked());
        entries.last()->trigger();
        QCOMPARE(logOf(w).last(), "Verbindung wird protokolliert in " + tracePath);

        w.setUpdateUrl(server.baseUrl().toString());
        control(w, "Command3")->click();
        QVERIFY(settled(w));

        QCOMPARE(statesOf(w), States({true, true, false, true, true, false}));
        QCOMPARE(QDir(downloads).entryList(QDir::Files), QStringList());
        QCOMPARE(asked,
                 QStringList({"flasher suchen?", "flasher runterladen?", "flasher einspielen?"}));
        QCOMPARE(preset, QStringLiteral("fw220.bin"));
        QVERIFY(QFile::exists(copyPath));
        QVERIFY(gauge.waitForImages(1, 5s));
        QCOMPARE(logOf(w).last(), QStringLiteral("und spielen Sie diese auf das Gerät!"));
        QVERIFY(readBytes(tracePath).split('\n').first().endsWith(" > 64"));

        // The header, then every line of the list, in UTF-8.
        const auto *logMenu = control<QListWidget>(w, "List1")->findChild<LogListMenu *>();
        QVERIFY(logMenu);
        const QString logPath = m_files.filePath(QStringLiteral("saved.log"));
        QVERIFY(logMenu->saveTo(logPath, nullptr));
        QStringList savedLines = QString::fromUtf8(readBytes(logPath)).split(QLatin1Char('\n'));
        QVERIFY(savedLines.takeFirst().startsWith(QStringLiteral("tst_flasherwindow 9.9, ")));
        QCOMPARE(savedLines, logOf(w) << QString());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("9.9"));
    TestUpdateWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_updatewindow.moc"
