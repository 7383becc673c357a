#include "configurator/core/InPlaceFile.h"

#include "devicelink/FileKind.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace configurator {

namespace {

// Qt's text for some failures is "Unknown error": errno, read right after the failing call,
// says more (e.g. "No space left on device").
QString systemReason(const QFile &file, int savedErrno)
{
    if (savedErrno != 0)
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    return file.errorString();
}

} // namespace

bool WriteInPlace(const QString &path, const QByteArray &bytes, QString *reason)
{
    const auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (!devicelink::IsRegularFileOrMissing(path))
        return fail(QStringLiteral("keine gewöhnliche Datei"));

    const bool existed = QFileInfo::exists(path);
    // ReadWrite neither truncates an existing file nor refuses a missing one; unbuffered, so a
    // failing write reports at once and errno still belongs to it.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return fail(file.errorString());
    const qint64 oldSize = file.size();
    const QByteArray oldBytes = file.read(bytes.size());
    if (file.error() != QFileDevice::NoError || !file.seek(0))
        return fail(file.errorString());

    errno = 0;
    if (file.write(bytes) == bytes.size() && file.flush())
        return true;
    const QString why = systemReason(file, errno);

    if (!existed) {
        file.close();
        // Through a link that led nowhere, the new file is the link's target: the link stays.
        const QString created = QFileInfo(path).canonicalFilePath();
        QFile::remove(created.isEmpty() ? path : created);
    } else {
        // Overwriting bytes the file already has needs no new space, even on a full disk.
        file.unsetError();
        file.seek(0);
        file.write(oldBytes);
        file.resize(oldSize);
        file.close();
    }
    return fail(why);
}

} // namespace configurator
