#include "devicelink/FlashImage.h"

#include "devicelink/FileKind.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace devicelink {

FlashImage::FlashImage(const QByteArray &fileBytes) : m_bytes(fileBytes)
{
    m_bytes.append(BlockSize - fileBytes.size() % BlockSize, '\0');
    m_blockCount = int(m_bytes.size() / BlockSize);
}

FlashImage FlashImage::tooLarge(qint64 fileSize)
{
    FlashImage image;
    image.m_blockCount = int(std::min<qint64>(fileSize / BlockSize + 1, INT_MAX));
    return image;
}

bool LoadImageFile(const QString &path, FlashImage &image)
{
    // A FIFO or device would block the read: only regular files are images.
    if (!devicelink::IsRegularFileOrMissing(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A file picked by mistake may have gigabytes.
    if (file.size() / FlashImage::BlockSize + 1 > FlashImage::MaxBlocks) {
        image = FlashImage::tooLarge(file.size());
        return true;
    }
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
