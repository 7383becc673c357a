#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QString>
#include <optional>

namespace devicelink {

// What the system tells about the adapter behind a device. A pseudo-terminal or any device the
// system does not list has every field empty.
struct PortDetails
{
    QString description;  // e.g. "FT232R USB UART"
    QString manufacturer; // e.g. "FTDI"
    QString serialNumber;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;

    // "0403:6001", or empty when the system gives no ids.
    QString vidPid() const;
};

// Tells the adapter details for a device path (links already resolved).
class PortInfoSource
{
public:
    virtual ~PortInfoSource() = default;
    virtual PortDetails describe(const QString &device) const = 0;
};

// The system's serial port list, read once, on the first question that needs it. Pseudo-
// terminals are answered without reading it: the system never lists them.
class SystemPortInfo : public PortInfoSource
{
public:
    PortDetails describe(const QString &device) const override;

private:
    mutable std::optional<QList<QSerialPortInfo>> m_ports;
};

// A port entry's tooltip: the device path, the adapter and its VID:PID, one a line.
QString PortToolTip(const QString &device, const PortDetails &details);

} // namespace devicelink
