#pragma once

#include "devicelink/Printable.h"

#include <QString>

namespace flasher {

// The flasher's own log lines and captions that more than one place uses.
namespace FlasherTexts {

inline QString fileMissingField()
{
    return QStringLiteral("Datei existiert nicht");
}
inline QString fileMissing(const QString &nameOrPath)
{
    return QStringLiteral("Datei: ") + devicelink::printable(nameOrPath) +
           QStringLiteral(" existiert nicht");
}
inline QString fileLoaded(const QString &title)
{
    return QStringLiteral("Flashfile geladen: ") + title;
}
inline QString fileEmpty(const QString &path)
{
    return QStringLiteral("Datei ist leer: ") + path;
}
inline QString fileUnreadable(const QString &path)
{
    return QStringLiteral("Datei: ") + devicelink::printable(path) +
           QStringLiteral(" kann nicht gelesen werden");
}

} // namespace FlasherTexts

} // namespace flasher
