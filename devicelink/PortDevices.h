#pragma once

#include "devicelink/ForwardingPort.h"

#include <QString>

namespace devicelink {

// The device a port name leads to, links followed to their end. Empty when there is no such
// device (a missing node, a link to nothing). Windows names are kept as they are.
QString resolvedDevice(const QString &name);

// The COM number (1..99) whose name (in `portDir`, see ComPortNames) leads to this device, 0
// when none does. Opens nothing.
int comNumberOfDevice(const QString &device, const QString &portDir);

// The group that may read and write the device node ("dialout" on Debian, "uucp" on others);
// "dialout" when the node tells none.
QString deviceGroup(const QString &device);

// The system's own terminals, never a serial port: the controlling terminal (/dev/tty), the
// console and the pty multiplexer (/dev/ptmx, /dev/pts/ptmx), the character devices 5:0, 5:1
// and 5:2. `device` is a resolved device path.
bool isSystemTerminal(const QString &device);

// --port as both programs read it: "3", "COM3" (1..99), a device path or a /dev/serial/by-id/
// link.
struct PortArgument
{
    int comNumber = 0; // the number given, or the COM number linked to the device; 0: none
    QString device;    // the device named by path; empty when a number was given
    QString error;     // why the text names no port, for the usage error; empty when it does

    bool isValid() const { return error.isEmpty(); }
    // The number an operation runs under; a device that no COM number leads to is opened by its
    // path, and the number only names it in the log.
    int numberForOpen() const { return comNumber > 0 ? comNumber : 1; }
};
PortArgument parsePortArgument(const QString &text, const QString &portDir);

// A port that opens one device, whatever COM number an operation asks for: the device named by
// path on the command line. Everything else goes to the port underneath.
class PinnedPort : public ForwardingPort
{
public:
    PinnedPort(SerialPort &port, const QString &device) : ForwardingPort(port), m_device(device) {}

    bool open(int, const QString &settings) override
    {
        return m_port.openDevice(m_device, settings);
    }

private:
    QString m_device;
};

} // namespace devicelink
