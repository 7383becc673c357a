#pragma once

#include <QString>

namespace flasher {

// The name used when nothing usable is left of a proposed one.
inline QString FallbackFileName()
{
    return QStringLiteral("lastfw.bin");
}

// Reduces a file name proposed by the update server to a plain file name that stays in the
// folder it is put into, on Linux and on Windows: only the part after the last folder
// separator, without control characters or characters Windows forbids, without leading dots,
// blanks or ':' and trailing dots or blanks. A Windows device name (CON, NUL, COM1, ...) or
// nothing at all gives FallbackFileName().
QString SafeFileName(const QString &proposed);

} // namespace flasher
