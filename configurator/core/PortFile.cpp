#include "configurator/core/PortFile.h"

#include "configurator/core/InPlaceFile.h"
#include "devicelink/FileKind.h"

#include <QFile>

namespace configurator {

PortFile::PortFile(const QString &path) : m_path(path) {}

quint8 PortFile::readPort() const
{
    // Never open a FIFO or device: the read would block the program.
    if (!devicelink::IsRegularFileOrMissing(m_path))
        return 0;
    QFile file(m_path);
    // Reading creates a missing file (empty, so it gives 0). A file we may only read (e.g. a
    // write-protected one) still gives its port.
    if (!file.open(QIODevice::ReadWrite) && !file.open(QIODevice::ReadOnly))
        return 0;
    char byte = 0;
    if (file.read(&byte, 1) != 1)
        return 0;
    return quint8(byte);
}

bool PortFile::writePort(quint8 port) const
{
    return WriteInPlace(m_path, QByteArray(1, char(port)));
}

} // namespace configurator
