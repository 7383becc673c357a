#include "devicelink/PortHolder.h"

#include "devicelink/Printable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace devicelink {

namespace {

QString processName(const QString &processDir)
{
    QFile comm(processDir + QStringLiteral("/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

bool hasOpen(const QString &processDir, const QString &device)
{
    // Readable only for the process's own user and for root; the rest stay silent.
    const QDir fds(processDir + QStringLiteral("/fd"));
    for (const QString &fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) == device)
            return true;
    }
    return false;
}

} // namespace

std::optional<PortHolder> FindPortHolder(const QString &device, const QString &procRoot)
{
    if (device.isEmpty())
        return std::nullopt;
    std::optional<PortHolder> modemManager;
    const QDir proc(procRoot);
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString processDir = proc.filePath(entry);
        if (hasOpen(processDir, device))
            return PortHolder{processName(processDir), pid, true};
        if (!modemManager && processName(processDir) == QLatin1String("ModemManager"))
            modemManager = PortHolder{QStringLiteral("ModemManager"), pid, false};
    }
    return modemManager;
}

QString BusyDetail(const std::optional<PortHolder> &holder)
{
    if (!holder)
        return QStringLiteral(" (von einem anderen Programm geöffnet)");
    const QString named =
        QStringLiteral("%1 (PID %2)").arg(printable(holder->name)).arg(holder->pid);
    return holder->certain ? QStringLiteral(" von ") + named
                           : QStringLiteral(" – möglicherweise von ") + named;
}

QString ModemManagerHint(const QString &vidPid)
{
    const QStringList ids = vidPid.split(QLatin1Char(':'));
    const QString vendor = ids.size() == 2 ? ids[0] : QStringLiteral("VVVV");
    const QString product = ids.size() == 2 ? ids[1] : QStringLiteral("PPPP");
    return QStringLiteral(
               "ModemManager prüft neu eingesteckte USB-Adapter und hält sie dabei "
               "offen. Damit er den Adapter in Ruhe lässt, als root die Datei "
               "/etc/udev/rules.d/99-iveva.rules mit der Zeile ATTRS{idVendor}==\"%1\", "
               "ATTRS{idProduct}==\"%2\", ENV{ID_MM_DEVICE_IGNORE}=\"1\" anlegen und den "
               "Adapter neu einstecken")
        .arg(vendor, product);
}

} // namespace devicelink
