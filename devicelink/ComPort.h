#pragma once

#include "devicelink/SerialPort.h"

#include <QSerialPort>

namespace devicelink {

// The real serial port, on QSerialPort.
class ComPort : public SerialPort
{
public:
    ComPort() = default;
    ~ComPort() override;

    bool open(int comNumber, const QString &settings) override;
    bool openDevice(const QString &device, const QString &settings) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    PollResult poll(qint64 maxPolls) override;
    QString errorString() const override { return m_error; }
    bool connectionLost() const override { return m_lost; }
    OpenError openError() const override { return m_openError; }
    QString deviceName() const override { return m_device; }

private:
    bool fail(const QString &error, OpenError kind = OpenError::Other);
    bool lose();
    bool portFailed() const;

    QSerialPort m_port;
    QString m_error;
    QString m_device;
    OpenError m_openError = OpenError::None;
    bool m_lost = false;
};

} // namespace devicelink
