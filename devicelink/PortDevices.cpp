#include "devicelink/PortDevices.h"

#include "devicelink/ComPortNames.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace devicelink {

QString resolvedDevice(const QString &name)
{
#ifdef Q_OS_WIN
    return name;
#else
    return name.isEmpty() ? QString() : QFileInfo(name).canonicalFilePath();
#endif
}

int comNumberOfDevice(const QString &device, const QString &portDir)
{
    const QString target = resolvedDevice(device);
    if (target.isEmpty())
        return 0;
    for (int n = ComPortNames::FirstCom; n <= ComPortNames::LastCom; ++n) {
        if (resolvedDevice(ComPortNames::deviceFor(n, portDir)) == target)
            return n;
    }
    return 0;
}

QString deviceGroup(const QString &device)
{
    const QFileInfo node(device);
    const QFileDevice::Permissions groupRw = QFileDevice::ReadGroup | QFileDevice::WriteGroup;
    if (node.exists() && !node.group().isEmpty() && node.group() != QLatin1String("root") &&
        (node.permissions() & groupRw) == groupRw)
        return node.group();
    return QStringLiteral("dialout");
}

std::optional<PortArgument> ParsePortArgument(const QString &text, const QString &portDir)
{
    const QString given = text.trimmed();
    if (given.isEmpty())
        return std::nullopt;
    static const QRegularExpression number(QStringLiteral("^(?:COM)?([0-9]+)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = number.match(given);
    if (match.hasMatch()) {
        bool ok = false;
        const int n = match.captured(1).toInt(&ok);
        return ok ? std::optional(PortArgument{n, {}}) : std::nullopt;
    }
    if (!given.contains(QLatin1Char('/')) && !given.contains(QLatin1Char('\\')))
        return std::nullopt; // neither a number nor a path
    return PortArgument{comNumberOfDevice(given, portDir), given};
}

} // namespace devicelink
