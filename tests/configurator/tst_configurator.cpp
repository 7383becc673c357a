// The configurator's three windows (offscreen) and its batch mode, against simulated gauges in
// a private port folder.

#include "ScriptedPort.h"
#include "SimulatedPorts.h"
#include "TabChain.h"
#include "TestContext.h"
#include "configurator/BatchMode.h"
#include "configurator/ui/CharacteristicWindow.h"
#include "configurator/ui/MainWindow.h"
#include "configurator/ui/PortDialog.h"
#include "configurator/ui/UploadWindow.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/LinkHints.h"
#include "devicelink/LinkTexts.h"
#include "sim/GaugeSimulator.h"

#include <QtTest>
#include <QtWidgets>
using namespace devicelink;
using namespace configurator;
using namespace sim;

// Answers the file dialogs in turn ("" or none left cancels), records the name each offered and
// every message box; with `leaveOpen` the user never closes a find message.
struct ScriptedDialogs : UserDialogs
{
    QStringList fileNames, initialNames;
    QList<QPair<QString, QString>> messages;
    bool leaveOpen = false;

    void openFileName(QWidget *, const QString &name, const Chosen &c) override { c(answer(name)); }
    void saveFileName(QWidget *, const QString &name, const Chosen &c) override { c(answer(name)); }
    void showInformation(QWidget *, const QString &title, const QString &text,
                         const std::function<void()> &closed) override
    {
        messages.append({title, text});
        if (!leaveOpen)
            closed();
    }
    void warning(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({title, text});
    }
    QString answer(const QString &initialName)
    {
        initialNames.append(initialName);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};

// A private working folder (for "port.dll" and "configs.eep") with a port folder for simulated
// gauges, and the run context pointing the windows and the batch mode at both.
struct Workspace
{
    QTemporaryDir work;
    SimulatedPorts gauges{path("ports")};
    shell::RunContext context = testContext(work.path());

    Workspace() { context.link.portDir = gauges.dir(); }
    QString path(const QString &name) const { return QDir(work.path()).filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        writeBytes(path(name), bytes);
    }
    QByteArray read(const QString &name) const { return readBytes(path(name)); }
};

namespace {

// Images (offsets 0 to 20): defaults; 100 ms, 950 °C, boost 1,00, lambda 0,80 / 1,20; 1250 °C,
// fourth position shown, Check2 indeterminate, threshold -0,01, contrast HELL, converter fitted.
const QByteArray DefaultImage = QByteArray::fromHex("000000000000000200000001000041410000000000");
const QByteArray WarningsImage = QByteArray::fromHex("6400b6037b50780200000001000041410000000000");
const QByteArray ExtremesImage = QByteArray::fromHex("0000e2040000000302003bff000041ff00ff010000");
// The analog output falling from lambda 0,80 / 5 V to 1,20 / 0 V, converter fitted.
const QByteArray FallingImage = QByteArray::fromHex("00000000000000020000000100005078ff00010000");

const QStringList DefaultPrint =
    QStringLiteral("warn_lam(1): AUS|warn_lam(0): AUS|warn_egt: AUS|warn_boost: AUS|daem: 0 ms|"
                   "kontrast: DUNKEL|slot: Lambda|Check1: 0|slot3sel: Lambdatemperatur / Heizung|"
                   "Check2: 0|Check3: 0|unterdruckschwelle: -0,95|da: 0|da_lam(0): 0,65|"
                   "da_lam(1): 0,65|da_volt(0): 0,000 V|da_volt(1): 0,000 V")
        .split(QLatin1Char('|'));

// The program itself in the workspace runs the batch mode without a window: its exit code, the
// lines on stdout and stderr.
std::tuple<int, QStringList, QString> runBatch(const Workspace &ws, const QStringList &arguments)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("IVEVA_PORT_DIR", ws.context.link.portDir);
    environment.insert("IVEVA_POLL_US", QString::number(ws.context.link.pollIntervalUs));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(ws.path(QString()));
    program.start(QStringLiteral(IVEVA_CONFIGURATOR_EXE), arguments);
    program.waitForFinished(30'000);
    return {program.exitCode(),
            QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(program.readAllStandardError())};
}

template <typename T> T *control(const QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

void trigger(const QWidget *window, const char *action)
{
    control<QAction>(window, action)->trigger();
}

QString comport(const MainWindow &form)
{
    return control<QAction>(&form, "comport")->iconText(); // without the mnemonic
}

QStringList logOf(const UploadWindow *window)
{
    QStringList lines;
    const QListWidget *list = control<QListWidget>(window, "List1");
    for (int i = 0; i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

// The user turns to the main window and back to `window`: its activation runs again.
bool reactivate(MainWindow &form, QWidget *window)
{
    form.activateWindow();
    if (!QTest::qWaitFor([&form] { return form.isActiveWindow(); }))
        return false;
    window->activateWindow();
    return QTest::qWaitFor([window] { return window->isActiveWindow(); });
}

template <typename Window> bool settled(const QPointer<Window> &window)
{
    return QTest::qWaitFor([&window] { return !window || !window->busy(); }, 30'000);
}

// Opens the port dialog from the menu and waits for the scan its activation runs.
PortDialog *openPortDialog(MainWindow &form)
{
    trigger(&form, "comport");
    PortDialog *dialog = form.portDialog();
    const auto scanned = [dialog] { return control<QPushButton>(dialog, "Command4")->isEnabled(); };
    return dialog && QTest::qWaitFor(scanned, 10'000) ? dialog : nullptr;
}

} // namespace

class TestConfigurator : public QObject
{
    Q_OBJECT

private slots:
    // One window: start, "speichern", "öffnen", the characteristic window, then the upload with
    // configs.eep a folder, a gauge that never resets, configs.eep missing, and the gauge back:
    // the upload window stays open after each failure, uploads on the next activation and then
    // closes itself.
    void mainWindow()
    {
        Workspace ws;
        GaugeSimulator &stuck = ws.gauges.add(3, {.noReset = true});
        ws.write("port.dll", "\x03\xaa\xbb"); // byte 0 counts
        ws.write("first.eep", QByteArray(128, char(0x5A)));
        ws.write("extremes.eep", ExtremesImage);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs, ws.context);
        form.show();
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 3"));
        const QString first = ws.path("first.eep"), extremes = ws.path("extremes.eep");
        dialogs.fileNames = {first, QString(), extremes, ws.path("out.eep"), ws.path("no/dir.eep")};
        QStringList shortcuts; // the characteristic window's shortcut is its own
        for (const QAction *action : form.findChildren<QAction *>())
            if (!action->shortcut().isEmpty())
                shortcuts << action->shortcut().toString();
        QCOMPARE(QSet(shortcuts.begin(), shortcuts.end()).size(), shortcuts.size());

        trigger(&form, "save"); // untouched window: the default image over the first 21 bytes
        QCOMPARE(ws.read("first.eep"), DefaultImage + QByteArray(107, char(0x5A)));
        trigger(&form, "kennlinie"); // follows the analog controls, changes no setting
        CharacteristicWindow *window = form.characteristicWindow();
        QVERIFY(window && window->isVisible() && !window->kopieren->isEnabled());
        QVERIFY(!window->notes->text().isEmpty());
        control<QCheckBox>(&form, "da")->setChecked(true);
        control<QComboBox>(&form, "da_lam(0)")->setCurrentIndex(15);
        control<QComboBox>(&form, "da_lam(1)")->setCurrentIndex(55);
        control<QComboBox>(&form, "da_volt(1)")->setCurrentIndex(255);
        QVERIFY(window->calibration->text().contains("Lambda = 0,8000 + 0,0800 * U"));
        QVERIFY(window->notes->text().isEmpty());
        const ConfigSettings before = form.settings();
        window->fuel->setCurrentIndex(2);
        window->kopieren->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), window->characteristic().calibrationText());
        QCOMPARE(form.settings(), before);
        trigger(&form, "save"); // cancelled: nothing written
        QCOMPARE(ws.read("first.eep").left(21), DefaultImage);
        trigger(&form, "open"); // every setting from the file, the indeterminate check box too
        QVERIFY(window->calibration->text().contains("Lambda = 0,6500 + 0,3800 * U"));
        trigger(&form, "save");
        QCOMPARE(ws.read("out.eep"), ExtremesImage);
        trigger(&form, "save"); // a folder that does not exist
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.first().second.contains(QStringLiteral("nicht geschrieben")));
        // Each dialog offers the name chosen last in either command; a cancel keeps it.
        QCOMPARE(dialogs.initialNames,
                 QStringList({QString(), first, first, extremes, ws.path("out.eep")}));

        QVERIFY(QDir().mkdir(ws.path("configs.eep")));
        trigger(&form, "uploadconfig");
        QVERIFY(!form.uploadWindow());
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(dialogs.messages.last().second.contains(QStringLiteral("configs.eep")));
        QVERIFY(QDir().rmdir(ws.path("configs.eep")));
        trigger(&form, "uploadconfig");
        QCOMPARE(ws.read("configs.eep"), ExtremesImage); // written before the upload
        QPointer<UploadWindow> upload = form.uploadWindow();
        QTRY_VERIFY(upload && upload->busy());
        // Changed settings during the upload leave configs.eep alone, and the window says so.
        control<QComboBox>(&form, "da_volt(0)")->setCurrentIndex(7);
        trigger(&form, "uploadconfig");
        QCOMPARE(ws.read("configs.eep"), ExtremesImage);
        QVERIFY(logOf(upload).last().startsWith(QStringLiteral("Geänderte Einstellungen nicht")));
        // An activation during the upload must not start a second one on the busy port.
        QVERIFY(reactivate(form, upload) && settled(upload));
        QCOMPARE(logOf(upload).mid(logOf(upload).size() - 2),
                 QStringList({"Reset nicht erkannt!", "Hinweis: " + LinkHints::noReset()}));
        QCOMPARE(logOf(upload).count(QStringLiteral("öffne COM-Port")), 1);
        QVERIFY(upload && upload->isVisible() && !control<QTimer>(upload, "Timer1")->isActive());
        // Coming back from another program is no activation: a window that takes the focus
        // and goes leaves the program without one, as another program's window would.
        {
            QWidget elsewhere;
            elsewhere.show();
            QVERIFY(QTest::qWaitFor([&elsewhere] { return elsewhere.isActiveWindow(); }));
        }
        QVERIFY(QTest::qWaitFor([] { return !QGuiApplication::focusWindow(); }));
        upload->activateWindow();
        QVERIFY(QTest::qWaitFor([&upload] { return upload->isActiveWindow(); }));
        QVERIFY(!upload->busy());
        QCOMPARE(logOf(upload).count(QStringLiteral("öffne COM-Port")), 1);

        QVERIFY(QFile::remove(ws.path("configs.eep")));
        QVERIFY(reactivate(form, upload) && settled(upload));
        QCOMPARE(logOf(upload).last(),
                 QStringLiteral("Datei configs.eep nicht lesbar – nichts hochgeladen"));
        ws.write("configs.eep", ExtremesImage);

        stuck.stop();
        GaugeSimulator &gauge = ws.gauges.add(3);
        const qsizetype failed = logOf(upload).size();
        QVERIFY(reactivate(form, upload));
        QTRY_VERIFY_WITH_TIMEOUT(upload && control<QTimer>(upload, "Timer1")->isActive(), 20'000);
        const QStringList log = logOf(upload); // the list goes on after the failures
        QCOMPARE(log.at(failed), QStringLiteral("öffne COM-Port"));
        QCOMPARE(log.last(), QStringLiteral("Erfolgreich geflasht!"));
        QVERIFY(gauge.waitForImages(1, std::chrono::seconds(5)));
        QCOMPARE(gauge.lastEepromImage(), ExtremesImage + QByteArray(107, '\0'));

        // Activation after the success starts nothing; the timer closes the window.
        QVERIFY(reactivate(form, upload));
        QTRY_VERIFY_WITH_TIMEOUT(!upload, 5'000);
        QCOMPARE(gauge.imagesStored(), 1);
    }

    // A failed search on another entry, and "Gerät suchen" finding the gauge on the third of
    // three ports.
    void portDialog()
    {
        Workspace ws;
        ws.gauges.add(12, {.silent = true});
        ws.gauges.add(2, {.silent = true});
        ws.write("port.dll", "\x09\x01\x02");
        ScriptedDialogs dialogs;
        MainWindow form(dialogs, ws.context);
        form.show();
        QPointer<PortDialog> dialog = openPortDialog(form);
        // Activated again it scans again, and lists no port twice.
        QVERIFY(dialog && reactivate(form, dialog) && settled(dialog));
        QComboBox *ports = control<QComboBox>(dialog, "ComboPort");
        QCOMPARE(ports->count(), 2);
        QCOMPARE(ports->itemText(1), QStringLiteral("COM 12 verfügbar"));
        ports->setCurrentIndex(1);
        // no gauge answers: the dialog stays, the selection too; stored on closing only
        control<QPushButton>(dialog, "Command4")->click();
        QVERIFY(settled(dialog));
        QVERIFY(dialog && dialog->isVisible() && dialogs.messages.isEmpty());
        QCOMPARE(control<QLabel>(dialog, "Label1")->text(), "Hinweis: " + LinkHints::noAnswer(2));
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 9"));
        QVERIFY(dialog->close());
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 12"));
        QCOMPARE(ws.read("port.dll"), QByteArray("\x0c\x01\x02"));
        QTRY_VERIFY(!dialog);

        ws.gauges.add(20);
        dialog = openPortDialog(form);
        QVERIFY(dialog);
        control<QPushButton>(dialog, "Command4")->click();
        QTRY_VERIFY(!dialog);
        QCOMPARE(dialogs.messages,
                 QList({qMakePair(QStringLiteral("Gerät gefunden"),
                                  QStringLiteral("Gerät gefunden an Port:20! Auf dem Gerät "
                                                 "installierte Firmware Version: V2.16"))}));
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 20"));
    }

    // Tab walks each window from its first control, each with a name for a screen reader. Long
    // lines wrap: the port dialog grows downwards for its status. Escape closes the port dialog,
    // storing its port in the port file that reading it created, and the characteristic window.
    void keyboardAndLongLines()
    {
        Workspace ws;
        ScriptedPort wire;
        wire.openErrors = {{4, SerialPort::OpenError::PermissionDenied}};
        ScriptedDialogs dialogs;
        MainWindow form(dialogs, ws.context);
        form.show();
        QVERIFY(QFile::exists(ws.path("port.dll")) && ws.read("port.dll").isEmpty());
        trigger(&form, "kennlinie");
        QPointer<QWidget> characteristic = form.characteristicWindow();
        QPointer<PortDialog> dialog = new PortDialog(&form, dialogs, wire.factory());
        const int height = dialog->height();
        const std::unique_ptr<UploadWindow> upload(
            new UploadWindow([] { return 0; }, wire.factory(), {}));
        upload->show();
        dialog->show();
        QVERIFY(
            QTest::qWaitFor([&] { return control<QPushButton>(dialog, "Command4")->isEnabled(); }));
        const QLabel *status = control<QLabel>(dialog, "Label1");
        QVERIFY(status->text().contains("usermod") && dialog->height() > height);
        QCOMPARE(status->y() + status->heightForWidth(status->width()) < dialog->height(), true);
        const QListWidget *log = control<QListWidget>(upload.get(), "List1");
        QVERIFY(QTest::qWaitFor([log] { return log->count() == 1; })); // "Kein gültiger Com-Port …"
        QVERIFY(log->visualItemRect(log->item(0)).height() >= 2 * log->fontMetrics().height());

        const QList<std::pair<QWidget *, QStringList>> windows{
            {&form,
             {"warn_egt", "warn_boost", "warn_lam(0)", "warn_lam(1)", "daem", "Check1", "Check2",
              "Check3", "unterdruckschwelle", "kontrast", "slot3sel", "slot", "da", "da_lam(0)",
              "da_lam(1)", "da_volt(0)", "da_volt(1)"}},
            {dialog, {"ComboPort", "Command4", "Label1"}},
            {upload.get(), {"List1"}},
            {characteristic, {"fuel", "kopieren"}}};
        for (const auto &[window, chain] : windows) {
            QCOMPARE(tabChain(window), chain);
            window->activateWindow();
            QVERIFY(QTest::qWaitFor([window = window] { return window->isActiveWindow(); }));
            QVERIFY(settled(dialog)); // activated again, the dialog scans again
            QTest::keyClick(window, Qt::Key_Escape);
        }
        QTRY_VERIFY(!dialog && !characteristic->isVisible() && form.isVisible());
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 1"));
        QCOMPARE(ws.read("port.dll"), QByteArray("\x01"));
    }

    void closeDuringJob_data()
    {
        QTest::addColumn<bool>("uploadWindow"); // else the port dialog
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("holdAt");       // the job that waits at its port until the close
        QTest::addColumn<QByteArray>("reply"); // the gauge's answer to every write
        QTest::addColumn<int>("messages");     // find messages shown, left open by the user
        QTest::newRow("scan") << false << QStringList() << 1 << QByteArray() << 0;
        QTest::newRow("search") << false << QStringList{"Command4"} << 2 << QByteArray() << 0;
        QTest::newRow("found") << false << QStringList{"Command4"} << 0 << QByteArray("dV2.16e")
                               << 1;
        QTest::newRow("upload") << true << QStringList() << 1 << QByteArray() << 0;
    }

    // Closing the port dialog or the upload window during its job cancels it, takes an open
    // find message away, closes the port and closes the window once the job has ended.
    void closeDuringJob()
    {
        QFETCH(bool, uploadWindow);
        QFETCH(QStringList, clicks);
        QFETCH(int, holdAt);
        QFETCH(QByteArray, reply);
        QFETCH(int, messages);
        Workspace ws;
        ws.write("configs.eep", DefaultImage);
        ScriptedPort wire; // a gauge that never resets
        wire.onWrite = [reply](ScriptedPort &p, const QByteArray &) { p.answerAfter(2, reply); };
        HeldPorts held(wire.factory(), holdAt);
        ScriptedDialogs dialogs;
        dialogs.leaveOpen = true;
        MainWindow form(dialogs, ws.context);
        QPointer<QWidget> window =
            uploadWindow ? static_cast<QWidget *>(new UploadWindow([] { return 5; }, held.factory,
                                                                   ws.path("configs.eep")))
                         : new PortDialog(&form, dialogs, held.factory);
        window->show();
        window->activateWindow();
        for (const QString &button : clicks) {
            QVERIFY(QTest::qWaitFor(
                [&] { return control<QPushButton>(window, qPrintable(button))->isEnabled(); }));
            control<QPushButton>(window, qPrintable(button))->click();
        }
        QVERIFY(QTest::qWaitFor(
            [&] { return held.opened >= holdAt && dialogs.messages.size() == messages; }));
        window->close();
        held.release();

        QTRY_VERIFY_WITH_TIMEOUT(!window, 20'000);
        QVERIFY(!wire.isOpen());
        QCOMPARE(dialogs.messages.size(), messages);
    }

    void batch_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "@pty": the device of COM4's gauge
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("tail");   // stdout from the first of these on; none: empty
        QTest::addColumn<QByteArray>("configs"); // written before an upload; empty: not at all
        QTest::addColumn<bool>("quiet");         // no message on stderr
        using L = QStringList;
        const L up{"--open", "warnings.eep", "--upload"}, ok{"Erfolgreich geflasht!"};
        const QByteArray W = WarningsImage, none;
        // --port overrides port.dll (5); a port that is no COM number is a wrong call; every
        // port failure ends the run with 1.
        QTest::newRow("--port N") << up + L{"--port", "4"} << 0 << ok << W << true;
        QTest::newRow("--port device") << up + L{"--port", "@pty"} << 0 << ok << W << true;
        QTest::newRow("--port 200") << up + L{"--port", "200"} << 2 << L() << none << false;
        QTest::newRow("port cannot be opened")
            << up + L{"--port", "7"} << 1
            << L{LinkTexts::openFailed(), "@ports/COM7: nicht vorhanden"} << W << true;
        QTest::newRow("line drops, port from port.dll")
            << up << 1 << L{LinkTexts::connectionLost(), LinkTexts::openFailed()} << W << true;
        // Options run in order, each file opened on top of the last (its unknown contrast keeps
        // "HELL"). A failure ends the run: the file opened after it is never printed.
        QTest::newRow("open on top, save")
            << L{"--open", "extremes.eep", "--open=contrast7.eep", "--save", "configs.eep"} << 0
            << L() << QByteArray(WarningsImage).replace(11, 1, "\xff") << true;
        const L rest{"--open=warnings.eep", "--print"};
        QTest::newRow("missing file")
            << L{"--print", "--open", "none.eep"} + rest << 1 << DefaultPrint << none << false;
        QTest::newRow("unwritable")
            << L{"--print", "--save", "no/dir/x.eep"} + rest << 1 << DefaultPrint << none << false;
        QTest::newRow("no line") << L{"--print", "--analog"} + rest << 1 << DefaultPrint << none
                                 << false;
        // The line from an opened file, for another fuel, down to point 1; falling: a note.
        QTest::newRow("analog, falling")
            << L{"--open", "falling.eep", "--analog", "--stoich", "9.77"} << 0
            << L{"0,000;1,200;11,72"} << none << false;
    }
    void batch()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, tail);
        Workspace ws;
        ws.gauges.add(4);
        ws.gauges.add(5, {.disconnectAfter = 1});
        ws.write("port.dll", "\x05");
        ws.write("warnings.eep", WarningsImage);
        ws.write("falling.eep", FallingImage);
        ws.write("extremes.eep", ExtremesImage);
        ws.write("contrast7.eep", QByteArray(WarningsImage).replace(11, 1, "\x07"));
        const QString ports = ws.context.link.portDir;
        arguments.replaceInStrings("@pty", QFileInfo(ports + "/COM4").canonicalFilePath());
        tail.replaceInStrings("@ports", ports);
        const auto [exitCode, out, err] = runBatch(ws, arguments);
        QTEST(exitCode, "exitCode");
        QCOMPARE(out.mid(out.indexOf(tail.value(0))), tail); // not found: all of it
        // A failure repeats its last line on stderr, after any message of its own.
        QFETCH(bool, quiet);
        QCOMPARE(err.isEmpty(), quiet && exitCode != 1);
        QCOMPARE(err.endsWith("iveva-configurator: " + out.value(out.size() - 1) + '\n'),
                 quiet && exitCode == 1);
        QTEST(ws.read("configs.eep"), "configs");
    }
};

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true); // the fuel preference stays out of the user's
    QApplication app(argc, argv);
    TestConfigurator test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_configurator.moc"
