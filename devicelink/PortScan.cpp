#include "devicelink/PortScan.h"

#include "devicelink/ComPortNames.h"
#include "devicelink/PortDevices.h"
#include "devicelink/PortSettings.h"
#include "devicelink/Printable.h"

namespace devicelink {

bool PortTest(SerialPort &port, int COMPortNummer)
{
    const bool opened = port.open(COMPortNummer, PortSettings::forBaud(9600));
    port.close();
    return opened;
}

AvailablePorts ScanAvailablePorts(SerialPort &port, const LinkHooks &hooks,
                                  const devicelink::PortInfoSource &info)
{
    AvailablePorts ports;
    for (int n = ComPortNames::FirstCom; n <= ComPortNames::LastCom; ++n) {
        if (hooks.isCancelled())
            break;
        const bool opened = PortTest(port, n);
        if (!opened && port.openError() == SerialPort::OpenError::Missing)
            continue;
        ProbedPort probe{n, port.deviceName(), port.openError(), port.errorString(), {}, {}};
        if (opened)
            probe.error = SerialPort::OpenError::None;
        else if (probe.error == SerialPort::OpenError::None)
            probe.error = SerialPort::OpenError::Other;
        probe.details = info.describe(probe.device);
        if (probe.error == SerialPort::OpenError::Busy)
            probe.holder = FindPortHolder(probe.device);
        if (opened) {
            ports.entries.append(PortDisplayEntry(n));
            ports.numbers.append(n);
            ports.toolTips.append(devicelink::PortToolTip(probe.device, probe.details));
        }
        ports.probed.append(probe);
    }
    return ports;
}

AvailablePorts ScanAvailablePorts(SerialPort &port, const LinkHooks &hooks)
{
    return ScanAvailablePorts(port, hooks, devicelink::SystemPortInfo());
}

QStringList ScanProblemLines(const AvailablePorts &ports)
{
    QStringList lines;
    for (const ProbedPort &probe : ports.probed) {
        const QString port =
            probe.device.isEmpty()
                ? QStringLiteral("COM %1").arg(probe.number)
                : QStringLiteral("COM %1 (%2)").arg(probe.number).arg(printable(probe.device));
        if (probe.error == SerialPort::OpenError::PermissionDenied)
            lines.append(port + QStringLiteral(": keine Berechtigung – Benutzer zur Gruppe \"%1\" "
                                               "hinzufügen (sudo usermod -aG %1 $USER) und neu "
                                               "anmelden")
                                    .arg(devicelink::deviceGroup(probe.device)));
        else if (probe.error == SerialPort::OpenError::Busy)
            lines.append(port + QStringLiteral(": belegt") + BusyDetail(probe.holder));
    }
    return lines;
}

void ReportScanProblems(const AvailablePorts &ports, const LinkHooks &hooks)
{
    for (const QString &line : ScanProblemLines(ports))
        hooks.Add_Item(line);
    for (const ProbedPort &probe : ports.probed) {
        if (probe.holder && !probe.holder->certain) {
            hooks.hint(ModemManagerHint(probe.details.vidPid()));
            return; // one hint for all of them
        }
    }
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

} // namespace devicelink
