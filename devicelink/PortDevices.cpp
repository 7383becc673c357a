#include "devicelink/PortDevices.h"

#include "devicelink/ComPortNames.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

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

bool isSystemTerminal(const QString &device)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return false;
#else
    struct stat node = {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &node) != 0 ||
        !S_ISCHR(node.st_mode))
        return false;
    constexpr unsigned TtyAuxMajor = 5; // 5:0 tty, 5:1 console, 5:2 ptmx
    return major(node.st_rdev) == TtyAuxMajor && minor(node.st_rdev) <= 2;
#endif
}

PortArgument parsePortArgument(const QString &text, const QString &portDir)
{
    PortArgument port;
    const QString given = text.trimmed();
    static const QRegularExpression number(QStringLiteral("^(?:COM)?([0-9]+)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = number.match(given);
    if (match.hasMatch()) {
        bool ok = false;
        port.comNumber = match.captured(1).toInt(&ok);
        if (ok && port.comNumber >= ComPortNames::FirstCom &&
            port.comNumber <= ComPortNames::LastCom)
            return port;
    } else if (given.contains(QLatin1Char('/')) || given.contains(QLatin1Char('\\'))) {
        port.device = given;
        port.comNumber = comNumberOfDevice(given, portDir);
        return port;
    }
    port.comNumber = 0;
    port.error =
        QStringLiteral("--port erwartet eine Zahl von %1 bis %2, COMn oder einen Gerätepfad, "
                       "nicht \"%3\"")
            .arg(ComPortNames::FirstCom)
            .arg(ComPortNames::LastCom)
            .arg(text);
    return port;
}

} // namespace devicelink
