// iveva-flasher: the update window, or one batch command when the arguments name one.

#include "devicelink/ComPort.h"
#include "devicelink/LinkHints.h"
#include "devicelink/ui/LogListMenu.h"
#include "flasher/BatchMode.h"
#include "flasher/ui/UpdateWindow.h"
#include "flasher/update/UpdateClient.h"
#include "shell/AppIdentity.h"
#include "shell/CommandLine.h"
#include "shell/ConsoleSink.h"
#include "shell/GermanQtTexts.h"
#include "shell/Interruption.h"
#include "shell/RunContext.h"

#include <QApplication>
#include <QMessageBox>
#include <QTextStream>

using namespace flasher;

namespace {
// The update server address is the one setting older versions saved.
const shell::AppIdentity Identity{QStringLiteral("iveva-flasher"),
                                  QStringLiteral("de.rozid.IvevaFlasher"),
                                  {QLatin1String(UpdateClient::SettingsKey)}};
} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const shell::CommandLine commandLine =
        shell::CommandLine::parse(BatchMode::program(), arguments);
    // The run's context, read once: nothing below main() looks at the environment. It needs the
    // application's identity, which names the settings file that holds the saved update server.
    const shell::UpdateUrlSources updateUrl{
        BatchMode::updateUrlOption(commandLine), QLatin1String(UpdateClient::EnvironmentVariable),
        QLatin1String(UpdateClient::SettingsKey), QLatin1String(UpdateClient::DefaultBaseUrl)};
    QString contextError;

    shell::Interruption::ignoreWriteSignals();
    if (!commandLine.error().isEmpty() || commandLine.runsBatch()) {
        // Ctrl+C, kill or a closed terminal cancel the running operation like a window's close.
        shell::Interruption::catchStopSignals();
        QCoreApplication app(argc, argv);
        shell::applyIdentity(app, Identity);
        const std::optional<shell::RunContext> context =
            shell::readRunContext(&contextError, updateUrl);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (!context && !shell::answersWithoutContext(commandLine))
            return shell::usageError(err, BatchMode::program(), contextError);
        const int status =
            BatchMode::Run(commandLine, context.value_or(shell::RunContext()), out, err,
                           shell::isTerminal(stderr), !shell::isTerminal(stdout));
        return shell::Interruption::exitStatus(err, BatchMode::program().name).value_or(status);
    }

    QApplication app(argc, argv);
    shell::applyIdentity(app, Identity);
    shell::InstallGermanQtTexts(app);
    const std::optional<shell::RunContext> context =
        shell::readRunContext(&contextError, updateUrl);
    if (!context) {
        QMessageBox::critical(nullptr, QStringLiteral("DEVAZ update-tool"), contextError);
        return shell::UsageError;
    }
    // A key file given for the window is checked before the window opens, as in batch mode.
    QString keyError;
    const std::optional<SignaturePolicy> signatures =
        BatchMode::windowSignaturePolicy(commandLine, &keyError);
    if (!signatures) {
        QMessageBox::critical(nullptr, QStringLiteral("DEVAZ update-tool"), keyError);
        return shell::UsageError;
    }
    // The log lists' "Verbindung protokollieren" traces every port of the window into trace.log.
    devicelink::LinkSettings link = context->link;
    link.trace = shell::windowTrace();
    devicelink::LogListMenu::offerWireTrace(link.trace);
    UpdateWindow window([link] { return std::make_unique<devicelink::ComPort>(link); });
    window.setUpdateUrl(context->updateUrl);
    window.setSignaturePolicy(*signatures);
    if (const QString hint = devicelink::LinkHints::missingPortDir(context->link.portDir);
        !hint.isEmpty())
        window.addHint(hint);
    window.show();
    return app.exec();
}
