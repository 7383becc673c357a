#include "flasher/update/SafeFileName.h"

#include <QRegularExpression>

namespace flasher {

namespace {

bool isDeviceName(const QString &name)
{
    // Windows takes these as devices whatever the extension ("nul.bin" too).
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9¹²³]|LPT[0-9¹²³])$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString stem = name.section(QLatin1Char('.'), 0, 0).trimmed();
    return device.match(stem).hasMatch();
}

} // namespace

QString SafeFileName(const QString &proposed)
{
    const qsizetype lastSeparator =
        qMax(proposed.lastIndexOf(QLatin1Char('/')), proposed.lastIndexOf(QLatin1Char('\\')));
    QString name;
    for (const QChar c : proposed.mid(lastSeparator + 1)) {
        if (c.unicode() < 0x20 || c.category() == QChar::Other_Control ||
            QStringLiteral("<>:\"|?*").contains(c))
            continue;
        name.append(c);
    }
    // A leading dot hides the file or names "." and ".."; Windows drops trailing dots and blanks.
    while (!name.isEmpty() && (name.front() == u'.' || name.front().isSpace()))
        name.remove(0, 1);
    while (!name.isEmpty() && (name.back() == u'.' || name.back().isSpace()))
        name.chop(1);
    if (name.isEmpty() || isDeviceName(name))
        return FallbackFileName();
    return name;
}

} // namespace flasher
