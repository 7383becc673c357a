#pragma once

#include "devicelink/SerialPort.h"

namespace devicelink {

// A port that hands every call to another port it does not own; subclasses change what they
// must (which device an open goes to, what happens when the view goes away).
class ForwardingPort : public SerialPort
{
public:
    explicit ForwardingPort(SerialPort &port) : m_port(port) {}

    bool open(int comNumber, const QString &settings) override
    {
        return m_port.open(comNumber, settings);
    }
    bool openDevice(const QString &device, const QString &settings) override
    {
        return m_port.openDevice(device, settings);
    }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray &bytes) override { return m_port.write(bytes); }
    PollResult poll(qint64 maxPolls) override { return m_port.poll(maxPolls); }
    QString errorString() const override { return m_port.errorString(); }
    OpenError openError() const override { return m_port.openError(); }
    QString deviceName() const override { return m_port.deviceName(); }
    qint64 pollIntervalUs() const override { return m_port.pollIntervalUs(); }

protected:
    SerialPort &m_port;
};

} // namespace devicelink
