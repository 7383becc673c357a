#include "configurator/core/PortFile.h"

#include <QFile>

namespace configurator {

PortFile::PortFile(const QString &path) : m_path(path) {}

quint8 PortFile::readPort() const
{
    QFile file(m_path);
    // ReadWrite creates a missing file, as the program always has. A file we may only read
    // (e.g. a write-protected one) still gives its port.
    if (!file.open(QIODevice::ReadWrite) && !file.open(QIODevice::ReadOnly))
        return 0;
    char byte = 0;
    if (file.read(&byte, 1) != 1)
        return 0;
    return quint8(byte);
}

bool PortFile::writePort(quint8 port) const
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadWrite))
        return false;
    const char byte = char(port);
    const bool written = file.write(&byte, 1) == 1;
    const bool flushed = file.flush();
    file.close();
    return written && flushed && file.error() == QFileDevice::NoError;
}

} // namespace configurator
