#include "devicelink/FlashImage.h"

#include "devicelink/FileKind.h"

#include <QFile>
#include <QFileInfo>

namespace devicelink {

FlashImage::FlashImage(const QByteArray &fileBytes) : m_bytes(fileBytes)
{
    m_bytes.append(BlockSize - fileBytes.size() % BlockSize, '\0');
}

bool LoadImageFile(const QString &path, FlashImage &image)
{
    // A FIFO or device would block the read: only regular files are images.
    if (!devicelink::IsRegularFileOrMissing(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    image = FlashImage(bytes);
    return true;
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return false;
#ifdef Q_OS_WIN
    if (info.isHidden())
        return false;
#endif
    return true;
}

} // namespace devicelink
