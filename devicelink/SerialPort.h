#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

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

    virtual QString errorString() const = 0;
    // The port failed (read or write error, device gone) since it was last opened.
    virtual bool connectionLost() const = 0;
    // The last open failed because the user may not use the device (not because it is busy).
    virtual bool permissionDenied() const { return false; }
};

// Makes the port object for one operation. A window's job calls it on the job's own thread, so
// the port is created, used and closed there.
using PortFactory = std::function<std::unique_ptr<SerialPort>()>;
