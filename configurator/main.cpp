// iveva-configurator: the settings editor of the IVEVA gauge, or, with options, its batch mode.

#include "configurator/BatchMode.h"
#include "configurator/ui/MainWindow.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/LinkHints.h"
#include "devicelink/ui/LogListMenu.h"
#include "shell/AppIdentity.h"
#include "shell/CommandLine.h"
#include "shell/ConsoleSink.h"
#include "shell/GermanQtTexts.h"
#include "shell/InstalledProgram.h"
#include "shell/Interruption.h"
#include "shell/RunContext.h"

#include <QApplication>
#include <QMessageBox>
#include <QTextStream>

using namespace configurator;

namespace {
const shell::AppIdentity Identity{
    QStringLiteral("iveva-configurator"), QStringLiteral("de.rozid.IvevaConfigurator"), {}};
}

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const shell::CommandLine commandLine =
        shell::CommandLine::parse(BatchMode::program(), arguments);
    // The run's context, read once: nothing below main() looks at the environment.
    QString contextError;
    const std::optional<shell::RunContext> context = shell::readRunContext(&contextError);

    shell::Interruption::ignoreWriteSignals();
    if (!commandLine.error().isEmpty() || commandLine.runsBatch()) {
        // Ctrl+C, kill or a closed terminal cancel the running operation like a window's close.
        shell::Interruption::catchStopSignals();
        QCoreApplication app(argc, argv);
        shell::applyIdentity(app, Identity);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (!context && !shell::answersWithoutContext(commandLine))
            return shell::usageError(err, BatchMode::program(), contextError);
        const int status = BatchMode::run(commandLine, context.value_or(shell::RunContext()), out,
                                          err, !shell::isTerminal(stdout));
        return shell::Interruption::exitStatus(err, BatchMode::program().name).value_or(status);
    }

    QApplication app(argc, argv);
    shell::applyIdentity(app, Identity);
    shell::InstallGermanQtTexts(app); // the file dialogs and message boxes in German
    if (!context) {
        QMessageBox::critical(nullptr, QStringLiteral("ROZID IVEVA KONFIGURATOR"), contextError);
        return shell::UsageError;
    }
    shell::RunContext windowContext = *context;
    // Started from the menu, the current folder is the user's home: an installed configurator
    // keeps port.dll and configs.eep in its data folder instead, as the flasher its downloads.
    if (shell::runsInstalled())
        windowContext.workingFolder = shell::userDataFolder();
    // The log lists' "Verbindung protokollieren" traces every port of the windows into trace.log.
    windowContext.link.trace = shell::windowTrace();
    devicelink::LogListMenu::offerWireTrace(windowContext.link.trace);
    StandardDialogs dialogs;
    MainWindow window(dialogs, windowContext);
    window.show();
    // The main window has no log: a port folder that is not there is worth a message.
    if (const QString hint = devicelink::LinkHints::missingPortDir(context->link.portDir);
        !hint.isEmpty())
        dialogs.warning(&window, QStringLiteral("ROZID IVEVA KONFIGURATOR"),
                        QStringLiteral("Hinweis: ") + hint);
    return app.exec();
}
