// The configurator's three windows, offscreen, against simulated gauges in a private port folder.

#include "ConfigImage.h"
#include "ConfigTestSupport.h"
#include "Form1.h"
#include "Form2.h"
#include "Form3.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <chrono>

using namespace std::chrono_literals;

namespace {

const GaugeOptions Silent{.silent = true};

QStringList logOf(const Form3 *window)
{
    QStringList lines;
    for (int i = 0; i < window->List1->count(); ++i)
        lines.append(window->List1->item(i)->text());
    return lines;
}

// Opens the port dialog from the menu and waits for the scan its activation runs.
Form2 *openPortDialog(Form1 &form)
{
    form.comport->trigger();
    Form2 *dialog = form.portDialog();
    if (dialog && !QTest::qWaitFor([dialog] { return dialog->Command4->isEnabled(); }, 10'000))
        return nullptr;
    return dialog;
}

} // namespace

class TestConfigWindows : public QObject
{
    Q_OBJECT

private slots:
    // Start, "speichern", "öffnen" and a "configs.eep" that cannot be written, in one window.
    void fileCommands()
    {
        Workspace ws;
        ws.write(QStringLiteral("port.dll"), QByteArray("\xc8\xaa\xbb", 3)); // byte 0 counts
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        QCOMPARE(form.comport->text(), QStringLiteral("Com-Port: 200"));
        QCOMPARE(form.port->text(), QStringLiteral("200"));
        QCOMPARE(form.settings(), ConfigSettings());

        const QString first = ws.path(QStringLiteral("first.eep"));
        const QString extremes = ws.path(QStringLiteral("extremes.eep"));
        ws.write(QStringLiteral("first.eep"), QByteArray(128, char(0x5A)));
        ws.write(QStringLiteral("extremes.eep"), Images::extremes());

        dialogs.fileNames = {first, QString(), extremes, ws.path(QStringLiteral("out.eep")),
                             ws.path(QStringLiteral("no/such/folder.eep"))};
        form.save->trigger(); // untouched window: the default image over the first 21 bytes
        QCOMPARE(ws.read(QStringLiteral("first.eep")),
                 Images::defaults() + QByteArray(107, char(0x5A)));
        form.kontrast->setCurrentIndex(1);
        form.save->trigger(); // cancelled: nothing written
        QCOMPARE(ws.read(QStringLiteral("first.eep")).left(21), Images::defaults());
        form.open->trigger(); // every setting from the file, the contrast too
        ConfigSettings fromFile;
        ApplyConfigImage(extremes, fromFile);
        QCOMPARE(form.settings(), fromFile);
        QCOMPARE(form.Check2->checkState(), Qt::PartiallyChecked);
        form.save->trigger(); // the indeterminate check box survives the window
        QCOMPARE(ws.read(QStringLiteral("out.eep")), Images::extremes());
        QVERIFY(dialogs.messages.isEmpty());
        form.save->trigger(); // a folder that does not exist
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.first().second.contains(QStringLiteral("nicht geschrieben")));

        // Each dialog offers the name chosen last in either command; a cancel keeps it.
        QCOMPARE(dialogs.initialNames, QStringList({QString(), first, first, extremes,
                                                    ws.path(QStringLiteral("out.eep"))}));

        QVERIFY(QDir(ws.path(QString())).mkdir(QStringLiteral("configs.eep")));
        form.uploadconfig->trigger();
        QVERIFY(!form.uploadWindow());
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(dialogs.messages.last().second.contains(QStringLiteral("configs.eep")));
    }

    // A gauge that never resets, a missing "configs.eep", then the gauge back: the window stays
    // open after each failure and uploads on the next activation, then closes itself.
    void uploadWindow()
    {
        Workspace ws;
        auto stuck = std::make_unique<GaugeSimulator>(GaugeOptions{.noReset = true});
        QVERIFY(stuck->start(ws.portDir(), 3));
        ws.write(QStringLiteral("port.dll"), QByteArray("\x03", 1));
        ws.write(QStringLiteral("configs.eep"), QByteArray(21, char(0x77)));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        form.kontrast->setCurrentIndex(1);
        form.da->setChecked(true);
        form.da_volt[1]->setCurrentIndex(51);
        QByteArray expected = Images::defaults();
        expected[11] = char(125);
        expected[17] = char(51);
        expected[18] = char(1);
        // An activation during the upload (it runs the window's events at every wait) must
        // not start a second one on the busy port.
        bool activatedWhileBusy = false;
        QTimer::singleShot(500, &form, [&form, &activatedWhileBusy] {
            activatedWhileBusy = form.uploadWindow() && form.uploadWindow()->uploading();
            if (activatedWhileBusy)
                form.uploadWindow()->Form_Activate();
        });
        form.uploadconfig->trigger();
        QCOMPARE(ws.read(QStringLiteral("configs.eep")), expected); // written before the upload
        QPointer<Form3> window = form.uploadWindow();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->List1->count() > 0 && !window->uploading(), 30'000);
        QVERIFY(activatedWhileBusy);
        QCOMPARE(logOf(window).last(), QStringLiteral("Reset nicht erkannt!"));
        QCOMPARE(logOf(window).count(QStringLiteral("öffne COM-Port")), 1);
        QTest::qWait(200);
        QVERIFY(window && window->isVisible() && !window->Timer1.isActive());

        QVERIFY(QFile::remove(ws.path(QStringLiteral("configs.eep"))));
        window->Form_Activate();
        QCOMPARE(logOf(window).last(),
                 QStringLiteral("Datei configs.eep nicht lesbar – nichts hochgeladen"));
        ws.write(QStringLiteral("configs.eep"), expected);

        stuck.reset();
        GaugeSimulator &gauge = ws.gauge(3);
        const QStringList failed = logOf(window);
        form.activateWindow();
        QTRY_VERIFY(form.isActiveWindow());
        window->activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!window || window->Timer1.isActive(), 20'000);
        QVERIFY(window);
        const QStringList log = logOf(window);
        QCOMPARE(log.mid(0, failed.size() + 1), failed + QStringList{"öffne COM-Port"});
        QCOMPARE(log.last(), QStringLiteral("Erfolgreich geflasht!"));
        QCOMPARE(window->Timer1.interval(), 1500);
        QVERIFY(gauge.waitForImages(1, 5s));
        QCOMPARE(gauge.lastEepromImage(), expected + QByteArray(107, '\0'));

        // Activation after the success starts nothing; the timer closes the window.
        window->Form_Activate();
        QCOMPARE(logOf(window), log);
        QTRY_VERIFY_WITH_TIMEOUT(!window, 5'000);
        QCOMPARE(gauge.imagesStored(), 1);
    }

    // Closing during the scan, a failed search on another entry, the first entry after a new
    // scan, and "Gerät suchen" finding the gauge on the third of three ports.
    void portDialog()
    {
        Workspace ws;
        ws.gauge(12, Silent);
        ws.gauge(2, Silent);
        ws.write(QStringLiteral("port.dll"), QByteArray("\x09\x01\x02", 3));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        form.comport->trigger();
        QPointer<Form2> dialog = form.portDialog();
        QVERIFY(dialog);
        // The close arrives at the scan's first look at the events: nothing is stored.
        QTimer::singleShot(0, dialog, [dialog] { dialog->close(); });
        dialog->Form_Activate();
        QTRY_VERIFY(!dialog);
        QCOMPARE(form.comport->text(), QStringLiteral("Com-Port: 9"));

        dialog = openPortDialog(form);
        QVERIFY(dialog);
        dialog->Form_Activate(); // scans again without listing a port twice
        QCOMPARE(dialog->ComboPort->count(), 2);
        QCOMPARE(dialog->ComboPort->itemText(1), QStringLiteral("COM 12 verfügbar"));
        dialog->ComboPort->setCurrentIndex(1);
        dialog->Command4->click(); // no gauge answers: the dialog stays, the selection too
        QTest::qWait(100);
        QVERIFY(dialog && dialog->isVisible() && dialogs.messages.isEmpty());
        QCOMPARE(dialog->ComboPort->currentIndex(), 1);
        QCOMPARE(form.comport->text(), QStringLiteral("Com-Port: 9")); // stored on closing
        QVERIFY(dialog->close());
        QCOMPARE(form.comport->text(), QStringLiteral("Com-Port: 12"));
        QCOMPARE(form.port->text(), QStringLiteral("12"));
        QCOMPARE(ws.read(QStringLiteral("port.dll")), QByteArray("\x0c\x01\x02", 3));
        QTRY_VERIFY(!dialog);

        dialog = openPortDialog(form);
        QVERIFY(dialog && dialog->close());
        QCOMPARE(form.comport->text(), QStringLiteral("Com-Port: 2"));
        QTRY_VERIFY(!dialog);

        ws.gauge(20);
        dialog = openPortDialog(form);
        QVERIFY(dialog);
        QCOMPARE(dialog->ComboPort->count(), 3);
        dialog->Command4->click();
        QCOMPARE(dialogs.messages,
                 QList({qMakePair(QStringLiteral("Gerät gefunden"),
                                  QStringLiteral("Gerät gefunden an Port:20! Auf dem Gerät "
                                                 "installierte Firmware Version: V2.16"))}));
        QCOMPARE(form.comport->text(), QStringLiteral("Com-Port: 20"));
        QCOMPARE(ws.read(QStringLiteral("port.dll")).left(1), QByteArray("\x14", 1));
        QTRY_VERIFY(!dialog);
    }
};

int main(int argc, char *argv[])
{
    // Shortens the counted waits: the reset wait takes 3 s, a search attempt 50 ms.
    qputenv("IVEVA_POLL_US", "5");
    QApplication app(argc, argv);
    TestConfigWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_configwindows.moc"
