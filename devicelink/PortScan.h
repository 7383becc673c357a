#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/PortHolder.h"
#include "devicelink/PortInfoSource.h"
#include "devicelink/SerialPort.h"

#include <QList>
#include <QStringList>

namespace devicelink {

// True when the port with this number can be opened. The port is closed again either way.
bool PortTest(SerialPort &port, int COMPortNummer);

// One port of the scan that exists on this system, whether or not it opened.
struct ProbedPort
{
    int number = 0;
    QString device; // links resolved; empty for ports without a device (scripted ones)
    SerialPort::OpenError error = SerialPort::OpenError::None; // None: it opened
    QString systemText;                                        // the system's words for error
    devicelink::PortDetails details;
    std::optional<PortHolder> holder; // who keeps a busy port, when the system shows it
};

// The ports that can be opened: the visible entries ("COM 3 verfügbar") and, parallel to
// them, the plain numbers and the entries' tooltips. `probed` holds every existing port.
struct AvailablePorts
{
    QStringList entries;
    QList<int> numbers;
    QStringList toolTips;
    QList<ProbedPort> probed;
};

// Probes COM1..COM99 in ascending order. Stops early, with what it found so far, when the hooks
// report a cancel. Ports that do not exist are not opened.
AvailablePorts ScanAvailablePorts(SerialPort &port, const LinkHooks &hooks,
                                  const PortInfoSource &info);
// The same with the system's port list for the tooltips.
AvailablePorts ScanAvailablePorts(SerialPort &port, const LinkHooks &hooks);

// The ports the scan left out because the user may not use them or another program holds them,
// one line each with its reason (and the group to join).
QStringList ScanProblemLines(const AvailablePorts &ports);
// Logs those lines, and the hint on ModemManager when it may hold one of the ports.
void ReportScanProblems(const AvailablePorts &ports, const LinkHooks &hooks);

// "COM", a blank, the number, " verfügbar": 15 characters for ports 1 to 9, 16 for 10 to 99.
QString PortDisplayEntry(int portNumber);

// The number read back from a display entry: the fifth character, or the fifth and sixth when
// the entry is 16 characters long. -1 when they are not digits.
int PortNumberFromEntry(const QString &entry);

} // namespace devicelink
