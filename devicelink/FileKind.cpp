#include "devicelink/FileKind.h"

#include <QFileInfo>

namespace devicelink {

bool IsRegularFileOrMissing(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    // A dangling link counts as missing: writing through it creates an ordinary file.
    return !info.exists() || info.isFile();
}

} // namespace devicelink
