#include "flasher/update/UpdateFolder.h"

#include "shell/InstalledProgram.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace flasher {

namespace {

// Permission bits do not tell the whole story (ACLs, read-only mounts): try it.
bool canCreateFilesIn(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("probe-XXXXXX")));
    return probe.open();
}

} // namespace

namespace UpdateFolder {

QString choose(const QString &programFolder, const QString &fallbackFolder)
{
    if (canCreateFilesIn(programFolder))
        return programFolder;
    if (fallbackFolder.isEmpty() || !QDir().mkpath(fallbackFolder) ||
        !canCreateFilesIn(fallbackFolder))
        return QString();
    return fallbackFolder;
}

QString pick()
{
    // An installed program never writes into its own folder, even where it could (run as root
    // from /usr/bin).
    return choose(shell::runsInstalled() ? QString() : QCoreApplication::applicationDirPath(),
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

} // namespace UpdateFolder

} // namespace flasher
