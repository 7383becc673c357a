#pragma once

#include "LinkHooks.h"
#include "SerialPort.h"

#include <QList>
#include <QStringList>

// True when the port with this number can be opened. The port is closed again either way.
bool PortTest(SerialPort &port, int COMPortNummer);

// The ports that can be opened: the visible entries ("COM 3 verfügbar") and, parallel to
// them, the plain numbers.
struct AvailablePorts
{
    QStringList entries;
    QList<int> numbers;
};

// Probes COM1..COM99 in ascending order.
// Stops early, with what it found so far, when the hooks report a cancel.
AvailablePorts ScanAvailablePorts(SerialPort &port, const LinkHooks &hooks);

// "COM", a blank, the number, " verfügbar": 15 characters for ports 1 to 9, 16 for 10 to 99.
QString PortDisplayEntry(int portNumber);

// The number read back from a display entry: the fifth character, or the fifth and sixth when
// the entry is 16 characters long. -1 when they are not digits.
int PortNumberFromEntry(const QString &entry);
