#pragma once

#include <QString>
#include <QVariant>

namespace shell {

// The application's own settings (organisation and name as applyIdentity() sets them), read
// and written so that a bad settings file neither blocks a start nor fails unnoticed.

// Where QSettings keeps an organisation's application settings, or empty where they live in no
// file (the Windows registry).
QString settingsFilePath(const QString &organisation, const QString &application);

// False when something other than a regular file sits at `path` (a FIFO would block the read
// for good, a device could answer anything); true for a missing file or an empty path.
bool settingsFileReadable(const QString &path);

// One saved value of the application, or an invalid QVariant when there is none or the file
// must not be read.
QVariant savedSetting(const QString &key);

// Writes one value and checks that it reached the file. A file that holds an address with a
// password is readable by its owner only, and stays so on later writes. Empty on success,
// else the German reason.
QString saveSetting(const QString &key, const QVariant &value);

} // namespace shell
