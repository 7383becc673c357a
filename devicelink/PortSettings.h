#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

namespace devicelink {

// A settings string as the programs write it: "<baud>,<parity>,<data bits>,<stop bits>",
// for example "19200,n,8,1".
struct PortSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    static std::optional<PortSettings> parse(const QString &text);
    static QString forBaud(int baudRate) { return QStringLiteral("%1,n,8,1").arg(baudRate); }
};

} // namespace devicelink
