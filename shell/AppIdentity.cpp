#include "shell/AppIdentity.h"

#include "devicelink/WireTrace.h"
#include "shell/CommandLine.h"

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

void takeOverSettings(const QString &oldSettingsFile, const QString &newSettingsFile,
                      const QStringList &keys)
{
    const QSettings old(oldSettingsFile, QSettings::NativeFormat);
    QSettings current(newSettingsFile, QSettings::NativeFormat);
    for (const QString &key : keys) {
        if (!current.contains(key) && old.contains(key))
            current.setValue(key, old.value(key));
    }
}

void applyIdentity(QCoreApplication &app, const AppIdentity &identity)
{
    Q_UNUSED(app);
    QCoreApplication::setOrganizationName(Organisation);
    QCoreApplication::setApplicationName(identity.applicationName);
    QCoreApplication::setApplicationVersion(projectVersion());

    if (!identity.keysToTakeOver.isEmpty()) {
        const QSettings old(QSettings::NativeFormat, QSettings::UserScope, OldOrganisation,
                            identity.applicationName);
        const QSettings current;
        takeOverSettings(old.fileName(), current.fileName(), identity.keysToTakeOver);
    }

    if (qobject_cast<QGuiApplication *>(&app)) {
        QGuiApplication::setDesktopFileName(identity.desktopId);
        // The icon is built in, so an uninstalled build shows it too (needs Qt's SVG plugin).
        QGuiApplication::setWindowIcon(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(identity.desktopId)));
    }
}

} // namespace shell
