#include "shell/InstalledProgram.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace shell {

bool isInstalledProgramFolder(const QString &programFolder)
{
    const QDir dir(programFolder);
    return dir.dirName() == QLatin1String("bin") &&
           QFileInfo(dir.filePath(QStringLiteral("../share"))).isDir();
}

bool runsInstalled()
{
    return isInstalledProgramFolder(QCoreApplication::applicationDirPath());
}

QString userDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder;
}

} // namespace shell
