#include "devicelink/FlashImage.h"

#include "devicelink/FileKind.h"
#include "devicelink/LinkLog.h"

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

LoadedImage LoadImageFile(const QString &path)
{
    LoadedImage loaded;
    // A FIFO or device would block the read: only regular files are images.
    if (!devicelink::IsRegularFileOrMissing(path)) {
        loaded.problem = ImageProblem::Unreadable;
        return loaded;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.problem = file.exists() ? ImageProblem::Unreadable : ImageProblem::Missing;
        return loaded;
    }
    loaded.fileSize = file.size();
    // A file picked by mistake may have gigabytes.
    if (ImageBlockCount(loaded.fileSize) > FlashImage::MaxBlocks) {
        loaded.problem = ImageProblem::TooLarge;
        return loaded;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        loaded.problem = ImageProblem::Unreadable;
        return loaded;
    }
    loaded.image = FlashImage(bytes);
    qCDebug(linkLog) << "image" << path << bytes.size() << "bytes," << loaded.image.blockCount()
                     << "blocks";
    if (bytes.isEmpty())
        loaded.problem = ImageProblem::Empty;
    return loaded;
}

int ImageBlockCount(qint64 fileSize)
{
    return int(std::min<qint64>(fileSize / FlashImage::BlockSize + 1, INT_MAX));
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
