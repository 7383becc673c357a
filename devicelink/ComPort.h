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
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    PollResult poll(qint64 maxPolls) override;
    QString errorString() const override { return m_error; }
    bool connectionLost() const override { return m_lost; }
    bool permissionDenied() const override { return m_permissionDenied; }

private:
    bool fail(const QString &error);
    bool lose();
    bool portFailed() const;

    QSerialPort m_port;
    QString m_error;
    bool m_permissionDenied = false;
    bool m_lost = false;
};

} // namespace devicelink
