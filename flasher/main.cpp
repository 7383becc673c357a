// iveva-flasher: the update window, or one batch command when the arguments name one.

#include "devicelink/ComPort.h"
#include "flasher/BatchMode.h"
#include "flasher/ui/Form1.h"
#include "flasher/update/UpdateClient.h"
#include "shell/AppIdentity.h"
#include "shell/GermanQtTexts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace devicelink;
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

    if (BatchMode::IsBatchCall(arguments)) {
        QCoreApplication app(argc, argv);
        shell::applyIdentity(app, Identity);
        QTextStream out(stdout);
        QTextStream err(stderr);
        ComPort port;
        return BatchMode::Run(QCoreApplication::arguments(), port, out, err,
                              isatty(fileno(stderr)) != 0);
    }

    QApplication app(argc, argv);
    shell::applyIdentity(app, Identity);
    shell::InstallGermanQtTexts(app);
    QCommandLineParser parser;
    const QCommandLineOption updateUrl(QStringLiteral("update-url"),
                                       QStringLiteral("Adresse des Update-Servers."),
                                       QStringLiteral("URL"));
    parser.addOption(updateUrl);
    parser.parse(QApplication::arguments());
    Form1 window;
    window.setUpdateUrl(parser.value(updateUrl));
    window.show();
    return app.exec();
}
