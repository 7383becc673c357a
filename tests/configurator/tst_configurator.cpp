// The configurator's three windows (offscreen) and its batch mode, against simulated gauges in
// a private port folder.

#include "ScriptedPort.h"
#include "TestContext.h"
#include "configurator/BatchMode.h"
#include "configurator/core/ConfigImage.h"
#include "configurator/ui/CharacteristicWindow.h"
#include "configurator/ui/Form1.h"
#include "configurator/ui/Form2.h"
#include "configurator/ui/Form3.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/LinkTexts.h"
#include "sim/GaugeSimulator.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

using namespace devicelink;
using namespace configurator;
using namespace sim;

using namespace std::chrono_literals;

// Answers the windows' file dialogs from a queue and records every message box.
class ScriptedDialogs : public UserDialogs
{
public:
    QStringList fileNames;                   // answers in turn; an empty string cancels
    QStringList initialNames;                // what each file dialog offered
    QList<QPair<QString, QString>> messages; // title and text of every message box, in order
    bool leaveOpen = false;                  // the user never closes a find message

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

private:
    QString answer(const QString &initialName)
    {
        initialNames.append(initialName);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};

// A private working folder (where "port.dll" and "configs.eep" live) with a port folder for the
// simulated gauges, and the run context that points the windows and the batch mode at both.
class Workspace
{
public:
    Workspace() : m_context(testContext(m_work.path()))
    {
        m_context.link.portDir = path("ports");
        QDir().mkpath(m_context.link.portDir);
    }

    const shell::RunContext &context() const { return m_context; }
    QString path(const QString &name) const { return QDir(m_work.path()).filePath(name); }
    // A simulated gauge published as COM<com>; stopped with the workspace.
    GaugeSimulator &gauge(int com, const GaugeOptions &options = {})
    {
        auto &sim = m_gauges.emplace_back(std::make_unique<GaugeSimulator>(options));
        QString error;
        if (!sim->start(m_context.link.portDir, com, &error))
            qFatal("simulator: %s", qPrintable(error));
        return *sim;
    }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
    }
    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_work;
    shell::RunContext m_context;
    std::vector<std::unique_ptr<GaugeSimulator>> m_gauges;
};

namespace {

// The image files the tests use, offsets 0 to 20: the defaults; the usual example (delay
// 100 ms, 950 °C, boost "1,00", lambda below "0,80", above "1,20"); and 1250 °C, fourth position
// shown, Check2 indeterminate, threshold "-0,01", contrast "HELL", converter fitted.
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

struct Result
{
    int exitCode;
    QStringList out;
    QString err;
};

Result runBatch(const Workspace &ws, const QStringList &arguments)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const shell::CommandLine commandLine = shell::CommandLine::parse(
        BatchMode::program(), QStringList{QStringLiteral("iveva-configurator")} + arguments);
    const int code = BatchMode::run(commandLine, ws.context(), outStream, errStream);
    return {code, out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), err};
}

template <typename T> T *control(const QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

QString comport(const Form1 &form)
{
    return control<QAction>(&form, "comport")->text();
}

QStringList logOf(const Form3 *window)
{
    QStringList lines;
    const QListWidget *list = control<QListWidget>(window, "List1");
    for (int i = 0; i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

bool timerRuns(const Form3 *window)
{
    return control<QTimer>(window, "Timer1")->isActive();
}

// The user turns to the main window and back to `window`: its activation runs again.
bool reactivate(Form1 &form, QWidget *window)
{
    form.activateWindow();
    if (!QTest::qWaitFor([&form] { return form.isActiveWindow(); }))
        return false;
    window->activateWindow();
    return QTest::qWaitFor([window] { return window->isActiveWindow(); });
}

// Waits for the job of a dialog or the upload window to end.
template <typename Window> bool settled(const QPointer<Window> &window)
{
    return QTest::qWaitFor([&window] { return !window || !window->busy(); }, 30'000);
}

// Opens the port dialog from the menu and waits for the scan its activation runs.
Form2 *openPortDialog(Form1 &form)
{
    control<QAction>(&form, "comport")->trigger();
    Form2 *dialog = form.portDialog();
    if (dialog &&
        !QTest::qWaitFor([dialog] { return control<QPushButton>(dialog, "Command4")->isEnabled(); },
                         10'000))
        return nullptr;
    return dialog;
}

} // namespace

class TestConfigurator : public QObject
{
    Q_OBJECT

private slots:
    // Start, "speichern", "öffnen" and a "configs.eep" that cannot be written, in one window.
    void fileCommands()
    {
        Workspace ws;
        ws.write("port.dll", "\xc8\xaa\xbb"); // byte 0 counts
        ws.write("first.eep", QByteArray(128, char(0x5A)));
        ws.write("extremes.eep", ExtremesImage);
        ScriptedDialogs dialogs;
        Form1 form(dialogs, ws.context());
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 200"));
        const QString first = ws.path("first.eep"), extremes = ws.path("extremes.eep");
        dialogs.fileNames = {first, QString(), extremes, ws.path("out.eep"), ws.path("no/dir.eep")};
        const auto trigger = [&form](const char *action) {
            control<QAction>(&form, action)->trigger();
        };

        trigger("save"); // untouched window: the default image over the first 21 bytes
        QCOMPARE(ws.read("first.eep"), DefaultImage + QByteArray(107, char(0x5A)));
        control<QComboBox>(&form, "kontrast")->setCurrentIndex(1);
        trigger("save"); // cancelled: nothing written
        QCOMPARE(ws.read("first.eep").left(21), DefaultImage);
        trigger("open"); // every setting from the file, the contrast too
        ConfigSettings fromFile;
        ApplyConfigImage(extremes, fromFile);
        QCOMPARE(form.settings(), fromFile);
        trigger("save"); // the indeterminate check box survives
        QCOMPARE(ws.read("out.eep"), ExtremesImage);
        QVERIFY(dialogs.messages.isEmpty());
        trigger("save"); // a folder that does not exist
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.first().second.contains(QStringLiteral("nicht geschrieben")));
        // Each dialog offers the name chosen last in either command; a cancel keeps it.
        QCOMPARE(dialogs.initialNames,
                 QStringList({QString(), first, first, extremes, ws.path("out.eep")}));

        QVERIFY(QDir().mkdir(ws.path("configs.eep")));
        trigger("uploadconfig");
        QVERIFY(!form.uploadWindow());
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(dialogs.messages.last().second.contains(QStringLiteral("configs.eep")));
    }

    // A gauge that never resets, a missing "configs.eep", then the gauge back: the window stays
    // open after each failure and uploads on the next activation, then closes itself.
    void uploadWindow()
    {
        Workspace ws;
        GaugeSimulator &stuck = ws.gauge(3, {.noReset = true});
        ws.write("port.dll", "\x03");
        ws.write("configs.eep", QByteArray(21, char(0x77)));
        ScriptedDialogs dialogs;
        Form1 form(dialogs, ws.context());
        form.show();
        control<QComboBox>(&form, "kontrast")->setCurrentIndex(1);
        control<QCheckBox>(&form, "da")->setChecked(true);
        control<QComboBox>(&form, "da_volt(1)")->setCurrentIndex(51);
        QByteArray expected = DefaultImage;
        expected[11] = char(125);
        expected[17] = char(51);
        expected[18] = char(1);
        control<QAction>(&form, "uploadconfig")->trigger();
        QCOMPARE(ws.read("configs.eep"), expected); // written before the upload
        QPointer<Form3> window = form.uploadWindow();
        QTRY_VERIFY(window && window->busy());
        // An activation during the upload must not start a second one on the busy port.
        QVERIFY(reactivate(form, window));
        QVERIFY(settled(window));
        QCOMPARE(logOf(window).last(), QStringLiteral("Reset nicht erkannt!"));
        QCOMPARE(logOf(window).count(QStringLiteral("öffne COM-Port")), 1);
        QVERIFY(window && window->isVisible() && !timerRuns(window));

        QVERIFY(QFile::remove(ws.path("configs.eep")));
        QVERIFY(reactivate(form, window));
        QVERIFY(settled(window));
        QCOMPARE(logOf(window).last(),
                 QStringLiteral("Datei configs.eep nicht lesbar – nichts hochgeladen"));
        ws.write("configs.eep", expected);

        stuck.stop();
        GaugeSimulator &gauge = ws.gauge(3);
        const QStringList failed = logOf(window);
        QVERIFY(reactivate(form, window));
        QTRY_VERIFY_WITH_TIMEOUT(!window || timerRuns(window), 20'000);
        QVERIFY(window);
        const QStringList log = logOf(window); // the list goes on from the failures
        QCOMPARE(log.mid(0, failed.size() + 1), failed + QStringList{"öffne COM-Port"});
        QCOMPARE(log.last(), QStringLiteral("Erfolgreich geflasht!"));
        QVERIFY(gauge.waitForImages(1, 5s));
        QCOMPARE(gauge.lastEepromImage(), expected + QByteArray(107, '\0'));

        // Activation after the success starts nothing; the timer closes the window.
        QVERIFY(reactivate(form, window));
        QCOMPARE(logOf(window), log);
        QTRY_VERIFY_WITH_TIMEOUT(!window, 5'000);
        QCOMPARE(gauge.imagesStored(), 1);
    }

    // Closing during the scan, a failed search on another entry, the first entry after a new
    // scan, and "Gerät suchen" finding the gauge on the third of three ports.
    void portDialog()
    {
        Workspace ws;
        ws.gauge(12, {.silent = true});
        ws.gauge(2, {.silent = true});
        ws.write("port.dll", "\x09\x01\x02");
        ScriptedDialogs dialogs;
        Form1 form(dialogs, ws.context());
        form.show();
        control<QAction>(&form, "comport")->trigger();
        QPointer<Form2> dialog = form.portDialog();
        QVERIFY(dialog);
        dialog->close(); // during the scan: nothing is stored
        QTRY_VERIFY(!dialog);
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 9"));

        dialog = openPortDialog(form);
        QVERIFY(dialog);
        QVERIFY(reactivate(form, dialog)); // scans again without listing a port twice
        QVERIFY(settled(dialog));
        QComboBox *ports = control<QComboBox>(dialog, "ComboPort");
        QCOMPARE(ports->count(), 2);
        QCOMPARE(ports->itemText(1), QStringLiteral("COM 12 verfügbar"));
        ports->setCurrentIndex(1);
        // no gauge answers: the dialog stays, the selection too; stored on closing only
        control<QPushButton>(dialog, "Command4")->click();
        QVERIFY(settled(dialog));
        QVERIFY(dialog && dialog->isVisible() && dialogs.messages.isEmpty());
        QCOMPARE(ports->currentIndex(), 1);
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 9"));
        QVERIFY(dialog->close());
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 12"));
        QCOMPARE(control<QLineEdit>(&form, "port")->text(), QStringLiteral("12"));
        QCOMPARE(ws.read("port.dll"), QByteArray("\x0c\x01\x02"));
        QTRY_VERIFY(!dialog);

        dialog = openPortDialog(form);
        QVERIFY(dialog && dialog->close());
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 2"));
        QTRY_VERIFY(!dialog);

        ws.gauge(20);
        dialog = openPortDialog(form);
        QVERIFY(dialog);
        QCOMPARE(control<QComboBox>(dialog, "ComboPort")->count(), 3);
        control<QPushButton>(dialog, "Command4")->click();
        QTRY_VERIFY(!dialog || !dialog->isVisible());
        QCOMPARE(dialogs.messages,
                 QList({qMakePair(QStringLiteral("Gerät gefunden"),
                                  QStringLiteral("Gerät gefunden an Port:20! Auf dem Gerät "
                                                 "installierte Firmware Version: V2.16"))}));
        QCOMPARE(comport(form), QStringLiteral("Com-Port: 20"));
        QCOMPARE(ws.read("port.dll").left(1), QByteArray("\x14"));
        QTRY_VERIFY(!dialog);
    }

    void closeDuringJob_data()
    {
        QTest::addColumn<bool>("uploadWindow"); // else the port dialog
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("holdAt");       // the job that waits at its port until the close
        QTest::addColumn<QByteArray>("reply"); // the gauge's answer to every write
        QTest::addColumn<int>("messages");     // find messages shown, left open by the user
        const QStringList search{"Command4"};
        QTest::newRow("scan") << false << QStringList() << 1 << QByteArray() << 0;
        QTest::newRow("search") << false << search << 2 << QByteArray() << 0;
        QTest::newRow("find message") << false << search << 0 << QByteArray("dV2.16e") << 1;
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
        std::atomic<int> jobs = 0;
        std::promise<void> release;
        const std::shared_future<void> released = release.get_future().share();
        const PortFactory ports = [&jobs, holdAt, released, factory = wire.factory()] {
            if (++jobs == holdAt)
                released.wait();
            return factory();
        };
        ScriptedDialogs dialogs;
        dialogs.leaveOpen = true;
        Form1 form(dialogs, ws.context());
        QPointer<QWidget> window =
            uploadWindow ? static_cast<QWidget *>(new Form3([] { return QStringLiteral("5"); },
                                                            ports, ws.path("configs.eep")))
                         : new Form2(&form, dialogs, ports);
        window->show();
        window->activateWindow();
        for (const QString &button : clicks) {
            QVERIFY(QTest::qWaitFor(
                [&] { return control<QPushButton>(window, qPrintable(button))->isEnabled(); }));
            control<QPushButton>(window, qPrintable(button))->click();
        }
        QVERIFY(
            QTest::qWaitFor([&] { return jobs >= holdAt && dialogs.messages.size() == messages; }));
        window->close();
        release.set_value();

        QTRY_VERIFY_WITH_TIMEOUT(!window, 20'000);
        QVERIFY(!wire.isOpen());
        QCOMPARE(dialogs.messages.size(), messages);
    }

    // Open, print and save in the order given, each file on top of what came before.
    void optionsRunInOrder()
    {
        Workspace ws;
        ws.write("extremes.eep", ExtremesImage);
        QByteArray contrast7 = WarningsImage;
        contrast7[11] = 7;
        ws.write("contrast7.eep", contrast7);
        const Result result =
            runBatch(ws, {"--save", "default.eep", "--print", "--open=extremes.eep", "--print",
                          "--save", "copy.eep", "--open", "contrast7.eep", "--print"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.size(), 51);
        QCOMPARE(result.out.mid(0, 17), DefaultPrint);
        QCOMPARE(result.out[17 + 2], QStringLiteral("warn_egt: 1250 °C"));
        // The second file opens on top of the first; its unknown contrast leaves "HELL".
        QCOMPARE(result.out[34 + 0], QStringLiteral("warn_lam(1): 0,80"));
        QCOMPARE(result.out[34 + 5], QStringLiteral("kontrast: HELL"));
        QCOMPARE(ws.read("default.eep"), DefaultImage);
        QCOMPARE(ws.read("copy.eep"), ExtremesImage);
    }

    void failuresAndUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("printedLines"); // a failure ends the run
        QTest::newRow("missing file") << QStringList{"--open", "none.eep", "--print"} << 1 << 0;
        QTest::newRow("unwritable")
            << QStringList{"--print", "--save", "no/dir/x.eep", "--print"} << 1 << 17;
        QTest::newRow("unknown option") << QStringList{"--print", "--bogus"} << 2 << 0;
        QTest::newRow("port without upload") << QStringList{"--port", "3", "--print"} << 2 << 0;
        QTest::newRow("analog, no line")
            << QStringList{"--print", "--analog", "--print"} << 1 << 17;
        QTest::newRow("stoich above 30") << QStringList{"--analog", "--stoich", "30,5"} << 2 << 0;
        QTest::newRow("stoich 1e1") << QStringList{"--analog", "--stoich=1e1"} << 2 << 0;
    }
    void failuresAndUsageErrors()
    {
        QFETCH(QStringList, arguments);
        Workspace ws;
        const Result result = runBatch(ws, arguments);
        QTEST(result.exitCode, "exitCode");
        QTEST(int(result.out.size()), "printedLines");
        QVERIFY(!result.err.isEmpty());
        QVERIFY(!QFile::exists(ws.path("configs.eep")));
    }

    // The analog line from an opened file, for another fuel; a falling line is worth a note.
    void analog()
    {
        Workspace ws;
        ws.write("falling.eep", FallingImage);
        const Result result =
            runBatch(ws, {"--open", "falling.eep", "--analog", "--stoich", "9.77"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.size(), 15);
        QCOMPARE(QStringList({result.out[0], result.out[2], result.out[3], result.out[9]}),
                 QStringList({"Punkt 0: Lambda 0,80 = 5,000 V", "Lambda = 1,2000 - 0,0800 * U",
                              "U/V;Lambda;AFR", "2,500;1,000;9,77"}));
        QVERIFY(!result.err.isEmpty());
    }

    // The characteristic window follows the analog controls and an opened file, and changes
    // no setting; its shortcut is its own.
    void characteristicWindow()
    {
        Workspace ws;
        ws.write("extremes.eep", ExtremesImage);
        ScriptedDialogs dialogs;
        Form1 form(dialogs, ws.context());
        QStringList shortcuts;
        for (const QAction *action : form.findChildren<QAction *>())
            if (!action->shortcut().isEmpty())
                shortcuts << action->shortcut().toString();
        QCOMPARE(QSet(shortcuts.begin(), shortcuts.end()).size(), shortcuts.size());

        control<QAction>(&form, "kennlinie")->trigger();
        CharacteristicWindow *window = form.characteristicWindow();
        QVERIFY(window && window->isVisible());
        QVERIFY(!window->notes->text().isEmpty() && !window->kopieren->isEnabled());
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

        dialogs.fileNames = {ws.path("extremes.eep")};
        control<QAction>(&form, "open")->trigger();
        QVERIFY(window->calibration->text().contains("Lambda = 0,6500 + 0,3800 * U"));
    }

    // --upload writes configs.eep and uploads it; every port failure ends the run with 1.
    void upload_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("disconnectAfter"); // the gauge's line drops after this block
        QTest::addColumn<QStringList>("lastLines");
        const QStringList noPort{
            "Kein gültiger Com-Port gewählt – bitte unter Kommunikation wählen"};
        const QStringList success{"Erfolgreich geflasht!"};
        QTest::newRow("--port") << QStringList{"--port", "4"} << 0 << success;
        QTest::newRow("port.dll") << QStringList() << 0 << success;
        QTest::newRow("port 0") << QStringList{"--port", "0"} << 0 << noPort;
        QTest::newRow("port 100") << QStringList{"--port", "100"} << 0 << noPort;
        QTest::newRow("--port COMn") << QStringList{"--port", "COM4"} << 0 << success;
        QTest::newRow("--port device") << QStringList{"--port", "@pty"} << 0 << success;
        QTest::newRow("port cannot be opened")
            << QStringList{"--port", "7"} << 0
            << QStringList{LinkTexts::openFailed(), "@ports/COM7: nicht vorhanden"};
        QTest::newRow("line drops")
            << QStringList() << 1
            << QStringList{LinkTexts::connectionLost(), LinkTexts::openFailed()};
    }
    void upload()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, disconnectAfter);
        QFETCH(QStringList, lastLines);
        Workspace ws;
        GaugeSimulator &gauge = ws.gauge(4, {.disconnectAfter = disconnectAfter});
        ws.write("port.dll", QByteArray(1, char(arguments.isEmpty() ? 4 : 9)));
        ws.write("warnings.eep", WarningsImage);
        const QString ports = ws.context().link.portDir;
        arguments.replaceInStrings("@pty", QFileInfo(ports + "/COM4").canonicalFilePath());
        lastLines.replaceInStrings("@ports", ports);
        const Result result =
            runBatch(ws, QStringList{"--open", "warnings.eep", "--upload"} + arguments);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out.mid(result.out.size() - lastLines.size()), lastLines);
        // A port that is no COM number is refused before configs.eep is written.
        QCOMPARE(QFile::exists(ws.path("configs.eep")),
                 !lastLines.first().startsWith(QStringLiteral("Kein gültiger")));
        const bool ok = lastLines == QStringList{"Erfolgreich geflasht!"};
        QCOMPARE(result.exitCode, ok ? 0 : 1);
        QCOMPARE(gauge.waitForImages(1, ok ? 5s : 0s), ok);
        QCOMPARE(gauge.lastEepromImage(),
                 ok ? WarningsImage + QByteArray(107, '\0') : QByteArray());
    }

    // The program itself runs the batch mode without a window and returns its exit code.
    void program()
    {
        Workspace ws;
        QProcess program;
        program.setWorkingDirectory(ws.path(QString()));
        program.start(QStringLiteral(IVEVA_CONFIGURATOR_EXE), {"--print"});
        QVERIFY(program.waitForFinished(30'000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 DefaultPrint);
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
