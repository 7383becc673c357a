#include "devicelink/ComPortNames.h"

#include <QDir>

namespace devicelink {

namespace ComPortNames {

QString deviceFor(int comNumber, const QString &portDir)
{
    if (comNumber < FirstCom || comNumber > LastCom)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comNumber);
#else
    if (!portDir.isEmpty())
        return QDir(portDir).filePath(QStringLiteral("COM%1").arg(comNumber));

    struct Range
    {
        int first;
        const char *prefix;
    };
    static constexpr Range ranges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
    for (const Range &range : ranges) {
        const int index = comNumber - range.first;
        if (index >= 0 && index < 32)
            return QString::fromLatin1(range.prefix) + QString::number(index);
    }
    return {}; // COM97-99 have no device on Linux without a port folder
#endif
}

} // namespace ComPortNames

} // namespace devicelink
