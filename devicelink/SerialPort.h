#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace devicelink {

// What one counted wait on a port brought.
struct PollResult
{
    QByteArray bytes;  // everything the read returned; empty when the polls ran out
    qint64 polls = 0;  // polls spent, at least 1 and never more than asked for
    bool lost = false; // the port failed (adapter pulled, device gone)
};

// A serial port as the gauge protocols see it: opened with a COM number and a settings string
// such as "19200,n,8,1", written in bytes and read by counted polls. The real port sits on
// QSerialPort (ComPort); the tests use a scripted port.
class SerialPort
{
public:
    virtual ~SerialPort() = default;

    // Runs the opening sequence. False when the port cannot be opened; errorString() says why.
    virtual bool open(int comNumber, const QString &settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sends the bytes. False when the port failed.
    virtual bool write(const QByteArray &bytes) = 0;

    // Polls up to maxPolls times and returns at the first read that brings bytes. An empty poll
    // costs the poll interval of wall time, spent blocked in the operating system, never spinning.
    virtual PollResult poll(qint64 maxPolls) = 0;

    // Opens the named device (a path such as /dev/ttyUSB0) instead of a COM number. Ports that
    // are no system device cannot.
    virtual bool openDevice(const QString &device, const QString &settings)
    {
        Q_UNUSED(device);
        Q_UNUSED(settings);
        return false;
    }

    virtual QString errorString() const = 0;

    // Why the last open failed.
    enum class OpenError
    {
        None,
        Missing,          // no such device (or a link to nothing): nothing was opened
        PermissionDenied, // the user may not read and write the device node
        Busy,             // another program holds the device
        IoError,          // the node exists but has no hardware behind it
        Other
    };
    virtual OpenError openError() const { return OpenError::None; }
    // The device the last open used, links resolved; empty when the port has no device.
    virtual QString deviceName() const { return {}; }
    // The wall time of one empty poll; waits are sliced by it to look at the cancel flag.
    virtual qint64 pollIntervalUs() const { return 50; }
};

// Makes the port object for one operation. A window's job calls it on the job's own thread, so
// the port is created, used and closed there.
using PortFactory = std::function<std::unique_ptr<SerialPort>()>;
} // namespace devicelink
