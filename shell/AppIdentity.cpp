#include "shell/AppIdentity.h"

#include "devicelink/WireTrace.h"
#include "shell/CommandLine.h"
#include "shell/SavedSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QSettings>
#include <QStandardPaths>

namespace shell {

namespace {

const QString Organisation = QStringLiteral("ROZID");
// Where QSettings put everything while no organisation was set.
const QString OldOrganisation = QStringLiteral("Unknown Organization");

} // namespace

std::shared_ptr<devicelink::WireTrace> windowTrace()
{
    const QDir data(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    return devicelink::WireTrace::toFile(data.filePath(QStringLiteral("trace.log")));
}

void takeOverSettings(const QString &oldSettingsFile, const QStringList &keys)
{
    if (!settingsFileReadable(oldSettingsFile))
        return;
    const QSettings old(oldSettingsFile, QSettings::NativeFormat);
    for (const QString &key : keys) {
        // A value that cannot be written stays in the old place for the next start.
        if (!savedSetting(key).isValid() && old.contains(key))
            saveSetting(key, old.value(key));
    }
}

void applyIdentity(QCoreApplication &app, const AppIdentity &identity)
{
    QCoreApplication::setOrganizationName(Organisation);
    QCoreApplication::setApplicationName(identity.applicationName);
    QCoreApplication::setApplicationVersion(projectVersion());

    if (!identity.keysToTakeOver.isEmpty()) {
        const QString oldFile = settingsFilePath(OldOrganisation, identity.applicationName);
        // Where the settings live in no file, QSettings finds the old place by its names.
        if (oldFile.isEmpty()) {
            const QSettings old(QSettings::NativeFormat, QSettings::UserScope, OldOrganisation,
                                identity.applicationName);
            takeOverSettings(old.fileName(), identity.keysToTakeOver);
        } else {
            takeOverSettings(oldFile, identity.keysToTakeOver);
        }
    }

    if (qobject_cast<QGuiApplication *>(&app)) {
        QGuiApplication::setDesktopFileName(identity.desktopId);
        // The icon is built in, so an uninstalled build shows it too (needs Qt's SVG plugin).
        QGuiApplication::setWindowIcon(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(identity.desktopId)));
    }
}

} // namespace shell
