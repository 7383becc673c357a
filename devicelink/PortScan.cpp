#include "PortScan.h"

#include "ComPortNames.h"
#include "PortSettings.h"

bool PortTest(SerialPort &port, int COMPortNummer)
{
    const bool opened = port.open(COMPortNummer, PortSettings::forBaud(9600));
    port.close();
    return opened;
}

AvailablePorts ScanAvailablePorts(SerialPort &port, const LinkHooks &hooks)
{
    AvailablePorts ports;
    for (int n = ComPortNames::FirstCom; n <= ComPortNames::LastCom; ++n) {
        if (hooks.isCancelled())
            break;
        if (PortTest(port, n)) {
            ports.entries.append(PortDisplayEntry(n));
            ports.numbers.append(n);
        }
    }
    return ports;
}

QString PortDisplayEntry(int portNumber)
{
    return QStringLiteral("COM ") + QString::number(portNumber) + QStringLiteral(" verfügbar");
}

int PortNumberFromEntry(const QString &entry)
{
    const QString digits = entry.mid(4, entry.size() == 16 ? 2 : 1);
    if (digits.isEmpty())
        return -1;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    return digits.toInt();
}
