#include "devicelink/ComPort.h"

#include "devicelink/ComPortNames.h"
#include "devicelink/PortDevices.h"
#include "devicelink/PortSettings.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace devicelink {

namespace {
// A write that cannot leave the PC within this time means the port is stuck or gone.
constexpr int WriteTimeoutMs = 2000;

// QSerialPort reports a lock held by another program as a permission error too: a device the
// user may read and write is busy, not forbidden. Windows has no rights on COM ports, and its
// "access denied" always means that another program has the port open.
SerialPort::OpenError classify(QSerialPort::SerialPortError error, const QString &device)
{
#ifndef Q_OS_WIN
    // Whatever failed on the way (the lock file of a name too long, say), a device that is not
    // there is missing.
    if (!QFileInfo::exists(device))
        return SerialPort::OpenError::Missing;
#endif
    switch (error) {
    case QSerialPort::PermissionError: {
#ifdef Q_OS_WIN
        Q_UNUSED(device);
        return SerialPort::OpenError::Busy;
#else
        const QFileInfo node(device);
        return node.isReadable() && node.isWritable() ? SerialPort::OpenError::Busy
                                                      : SerialPort::OpenError::PermissionDenied;
#endif
    }
    case QSerialPort::DeviceNotFoundError:
        return SerialPort::OpenError::Missing;
    case QSerialPort::ResourceError:
        return SerialPort::OpenError::IoError;
    default:
        return SerialPort::OpenError::Other;
    }
}
} // namespace

ComPort::~ComPort()
{
    close();
}

bool ComPort::open(int comNumber, const QString &settings)
{
    // 1. Port number. Every number 1..99 is accepted here; a missing device fails at the open.
    const QString device = ComPortNames::deviceFor(comNumber, m_settings.portDir);
    if (device.isEmpty()) {
        close();
        m_device.clear();
        m_lost = false;
        return fail(QStringLiteral("COM%1 gibt es auf diesem System nicht").arg(comNumber),
                    OpenError::Missing);
    }
    return openDevice(device, settings);
}

bool ComPort::openDevice(const QString &name, const QString &settings)
{
    close();
    m_error.clear();
    m_openError = OpenError::None;
    m_lost = false;

    // The port is opened by the device a link leads to, so that the lock, named after the
    // device, covers every name of it. A missing device or a link to nothing is never opened.
    const QString device = devicelink::resolvedDevice(name);
    m_device = device.isEmpty() ? name : device;
    if (device.isEmpty())
        return fail(QStringLiteral("%1 gibt es nicht").arg(name), OpenError::Missing);
    // The controlling terminal, the console or the pty multiplexer would take the probe's bytes
    // for someone else: they are no port at all.
    if (devicelink::isSystemTerminal(device))
        return fail(QStringLiteral("%1 ist kein serieller Port").arg(name), OpenError::Missing);
    m_port.setPortName(device);
    // 2. No handshaking.
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // 3. The receive threshold has no counterpart: reads are polled, never signalled.
    // 4. RTS on: QSerialPort drives the line only on an open port, so it follows the open.
    // 5. Settings string.
    const std::optional<PortSettings> parsed = PortSettings::parse(settings);
    if (!parsed)
        return fail(QStringLiteral("Ungültige Porteinstellung \"%1\"").arg(settings));
    m_port.setBaudRate(parsed->baudRate);
    m_port.setParity(parsed->parity);
    m_port.setDataBits(parsed->dataBits);
    m_port.setStopBits(parsed->stopBits);
    // 6. The send threshold has no counterpart either: writes go out at once.
    // 7. Open.
    if (!m_port.open(QIODevice::ReadWrite))
        return fail(m_port.errorString(), classify(m_port.error(), device));
    m_port.setRequestToSend(true); // pseudo-terminals have no RTS line: not an error
    m_port.clearError();
    // Whatever arrived before the open belongs to nobody.
    m_port.clear(QSerialPort::Input);
    return true;
}

void ComPort::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool ComPort::isOpen() const
{
    return m_port.isOpen();
}

bool ComPort::write(const QByteArray &bytes)
{
    if (!m_port.isOpen() || m_port.write(bytes) != bytes.size())
        return lose();
    QElapsedTimer clock;
    clock.start();
    while (m_port.bytesToWrite() > 0) {
        if (portFailed() || clock.elapsed() > WriteTimeoutMs)
            return lose();
        m_port.waitForBytesWritten(50);
    }
    return !portFailed() || lose();
}

PollResult ComPort::poll(qint64 maxPolls)
{
    PollResult result;
    const qint64 intervalUs = m_settings.pollIntervalUs;
    const qint64 budgetNs = qMax<qint64>(1, maxPolls) * intervalUs * 1000;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (!m_port.isOpen() || portFailed()) {
            lose();
            result.lost = true;
            break;
        }
        if (m_port.bytesAvailable() > 0) {
            result.bytes = m_port.readAll();
            break;
        }
        const qint64 leftNs = budgetNs - clock.nsecsElapsed();
        if (leftNs <= 0)
            break;
        // Blocks until a byte arrives or the time is up; an empty wait is a timeout, not a fault.
        if (!m_port.waitForReadyRead(int((leftNs + 999'999) / 1'000'000)) &&
            m_port.error() == QSerialPort::TimeoutError)
            m_port.clearError();
    }
    const qint64 spent = (clock.nsecsElapsed() / 1000 + intervalUs - 1) / intervalUs;
    result.polls = qBound<qint64>(1, spent, qMax<qint64>(1, maxPolls));
    return result;
}

bool ComPort::fail(const QString &error, OpenError kind)
{
    m_error = error;
    m_openError = kind;
    m_port.clearError();
    return false;
}

// Marks the port as failed; false, for the write that noticed it.
bool ComPort::lose()
{
    m_lost = true;
    return false;
}

bool ComPort::portFailed() const
{
    const QSerialPort::SerialPortError error = m_port.error();
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

} // namespace devicelink
