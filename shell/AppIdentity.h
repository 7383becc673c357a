#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace shell {

// Who a program is to the desktop and to QSettings.
struct AppIdentity
{
    QString applicationName; // "iveva-flasher": settings file, StartupWMClass
    QString desktopId;       // "de.rozid.IvevaFlasher": desktop entry, metainfo, icon
    // Settings keys that older versions kept under Qt's fallback organisation; each is taken
    // over once into the new place.
    QStringList keysToTakeOver;
};

// Sets organisation, application name and version; for a GUI application also the desktop
// file name and the window icon. Call right after creating the application object.
void applyIdentity(QCoreApplication &app, const AppIdentity &identity);

// Copies each key from `oldSettingsFile` (native format; read only when it is a regular file)
// into the application's settings unless they have it already.
void takeOverSettings(const QString &oldSettingsFile, const QStringList &keys);

} // namespace shell
