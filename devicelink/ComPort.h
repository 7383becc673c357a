#pragma once

#include "devicelink/LinkSettings.h"
#include "devicelink/SerialPort.h"

#include <QSerialPort>

namespace devicelink {

// The real serial port, on QSerialPort.
class ComPort : public SerialPort
{
public:
    explicit ComPort(LinkSettings settings = {}) : m_settings(std::move(settings)) {}
    ~ComPort() override;

    bool open(int comNumber, const QString &settings) override;
    bool openDevice(const QString &device, const QString &settings) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    PollResult poll(qint64 maxPolls) override;
    QString errorString() const override { return m_error; }
    OpenError openError() const override { return m_openError; }
    QString deviceName() const override { return m_device; }
    qint64 pollIntervalUs() const override { return m_settings.pollIntervalUs; }

private:
    bool fail(const QString &error, OpenError kind = OpenError::Other);
    bool portFailed() const;

    const LinkSettings m_settings;
    QSerialPort m_port;
    QString m_error;
    QString m_device;
    OpenError m_openError = OpenError::None;
};

} // namespace devicelink
