#include "shell/SavedSettings.h"

#include "devicelink/FileKind.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace shell {

namespace {

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString applicationSettingsPath()
{
    return settingsFilePath(QCoreApplication::organizationName(),
                            QCoreApplication::applicationName());
}

// Before the secret is written: QSettings replaces the file by a new one that takes over the
// old one's permissions, so the secret never sits in a file others can read.
QString restrictToOwner(const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("Ordner %1 lässt sich nicht anlegen")
            .arg(QDir::toNativeSeparators(QFileInfo(path).path()));
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly, OwnerOnly))
        return file.errorString();
    if (!file.setPermissions(OwnerOnly))
        return file.errorString();
    return {};
}

// True when `value` is an address that carries a password.
bool holdsPassword(const QVariant &value)
{
    return value.typeId() == QMetaType::QString && !QUrl(value.toString()).password().isEmpty();
}

} // namespace

QString settingsFilePath(const QString &organisation, const QString &application)
{
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    Q_UNUSED(organisation);
    Q_UNUSED(application);
    return {};
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/%1/%2.conf").arg(organisation, application);
#endif
}

bool settingsFileReadable(const QString &path)
{
    return path.isEmpty() || devicelink::IsRegularFileOrMissing(path);
}

QVariant savedSetting(const QString &key)
{
    if (!settingsFileReadable(applicationSettingsPath()))
        return {};
    return QSettings().value(key);
}

QString saveSetting(const QString &key, const QVariant &value)
{
    const QString path = applicationSettingsPath();
    if (!settingsFileReadable(path))
        return QStringLiteral("%1 ist keine gewöhnliche Datei").arg(QDir::toNativeSeparators(path));
    if (!path.isEmpty() && holdsPassword(value)) {
        if (const QString why = restrictToOwner(path); !why.isEmpty())
            return why;
    }
    QSettings settings;
    settings.setValue(key, value);
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("%1 ist nicht beschreibbar")
            .arg(QDir::toNativeSeparators(settings.fileName()));
    case QSettings::FormatError:
        return QStringLiteral("%1 ist keine gültige Einstellungsdatei")
            .arg(QDir::toNativeSeparators(settings.fileName()));
    }
    return {};
}

} // namespace shell
