#pragma once

#include <QString>
#include <QtGlobal>

namespace configurator {

// The file that keeps the chosen COM port number between runs: byte 0 is the port (0..255),
// nothing else in it is read or written.
class PortFile
{
public:
    // The windows use this bare name, so the file lies in the current folder.
    static QString defaultFileName() { return QStringLiteral("port.dll"); }

    explicit PortFile(const QString &path = defaultFileName());

    // The stored port. A missing file is created empty; an empty file, or one that can neither
    // be read nor created, gives 0.
    quint8 readPort() const;
    // Replaces byte 0 in place (a longer file keeps its other bytes); false on failure.
    bool writePort(quint8 port) const;

private:
    QString m_path;
};

} // namespace configurator
