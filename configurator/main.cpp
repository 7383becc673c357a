// iveva-configurator: the settings editor of the IVEVA gauge, or, with options, its batch mode.

#include "configurator/BatchMode.h"
#include "configurator/ui/Form1.h"
#include "configurator/ui/UserDialogs.h"
#include "shell/AppIdentity.h"
#include "shell/GermanQtTexts.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

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

    if (BatchMode::requested(arguments)) {
        QCoreApplication app(argc, argv);
        shell::applyIdentity(app, Identity);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return BatchMode::run(QCoreApplication::arguments(), out, err);
    }

    QApplication app(argc, argv);
    shell::applyIdentity(app, Identity);
    shell::InstallGermanQtTexts(app); // the file dialogs and message boxes in German
    // Anything left after Qt's own options is not ours.
    if (QApplication::arguments().size() > 1) {
        QTextStream err(stderr);
        QTextStream out(stdout);
        return BatchMode::run(QApplication::arguments(), out, err);
    }
    StandardDialogs dialogs;
    Form1 window(dialogs);
    window.show();
    return app.exec();
}
