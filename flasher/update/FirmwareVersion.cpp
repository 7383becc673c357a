#include "flasher/update/FirmwareVersion.h"

#include <QLocale>
#include <QRegularExpression>

namespace flasher {

namespace FirmwareVersion {

std::optional<double> parseNumber(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<double> availableNumber(const QString &versionText)
{
    return parseNumber(versionText.mid(1));
}

std::optional<double> installedNumber(const QString &versionText)
{
    return parseNumber(versionText.mid(1, 4));
}

} // namespace FirmwareVersion

} // namespace flasher
