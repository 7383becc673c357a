#include "devicelink/PortInfoSource.h"

#include "devicelink/Printable.h"

#include <QFileInfo>

namespace devicelink {

QString PortDetails::vidPid() const
{
    if (!vendorId || !productId)
        return {};
    return QStringLiteral("%1:%2")
        .arg(*vendorId, 4, 16, QLatin1Char('0'))
        .arg(*productId, 4, 16, QLatin1Char('0'));
}

PortDetails SystemPortInfo::describe(const QString &device) const
{
    if (device.isEmpty() || device.startsWith(QLatin1String("/dev/pts/")))
        return {};
    if (!m_ports)
        m_ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : *m_ports) {
        // Windows names the device "COM3" where Qt's location is "\\.\COM3".
        const QString location = info.systemLocation();
        const QString canonical = QFileInfo(location).canonicalFilePath();
        if (location != device && canonical != device && info.portName() != device)
            continue;
        PortDetails details;
        details.description = info.description();
        details.manufacturer = info.manufacturer();
        details.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            details.vendorId = info.vendorIdentifier();
            details.productId = info.productIdentifier();
        }
        return details;
    }
    return {};
}

QString PortToolTip(const QString &device, const PortDetails &details)
{
    QStringList lines{printable(device)};
    QString adapter = details.description;
    if (!details.manufacturer.isEmpty())
        adapter += QStringLiteral(" (%1)").arg(details.manufacturer);
    if (!adapter.trimmed().isEmpty())
        lines.append(printable(adapter.trimmed()));
    if (!details.vidPid().isEmpty())
        lines.append(QStringLiteral("VID:PID ") + details.vidPid());
    return lines.join(QLatin1Char('\n'));
}

} // namespace devicelink
