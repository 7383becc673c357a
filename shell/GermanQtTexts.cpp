#include "shell/GermanQtTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace shell {

void InstallGermanQtTexts(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QStringList folders = {QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/translations"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString &folder : folders) {
        if (translator->load(german, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
    delete translator;
}

} // namespace shell
